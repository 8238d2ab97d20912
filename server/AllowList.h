#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace oxle::server {

// The client networks the server answers (--allow); with none given, every client.
// Addresses are IPv4 in host byte order.
class AllowList {
public:
    struct Network {
        std::uint32_t address = 0;  // host bits cleared
        std::uint32_t mask = 0;
    };

    // "a.b.c.d/n" (0 <= n <= 32) or a bare "a.b.c.d"; false with the reason in `why`.
    static bool parseNetwork(const std::string& text, Network& network, std::string& why);

    bool add(const std::string& text, std::string& why);
    bool allows(std::uint32_t address) const;

private:
    std::vector<Network> networks_;
};

}  // namespace oxle::server
