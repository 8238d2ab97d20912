#include "server/AllowList.h"

#include <arpa/inet.h>

#include <cctype>

namespace oxle::server {

namespace {

constexpr int kAddressBits = 32;
constexpr std::size_t kMaxPrefixDigits = 2;
constexpr int kDecimalBase = 10;

}  // namespace

bool AllowList::parseNetwork(const std::string& text, Network& network, std::string& why) {
    const std::size_t slash = text.find('/');
    const std::string address = text.substr(0, slash);
    in_addr parsed{};
    // inet_pton takes nothing but four decimal parts, unlike inet_aton's "10.1" or "0x7f.1".
    if (::inet_pton(AF_INET, address.c_str(), &parsed) != 1) {
        why = "\"" + text + "\" is not an IPv4 address or network (a.b.c.d or a.b.c.d/n)";
        return false;
    }
    int prefix = kAddressBits;
    if (slash != std::string::npos) {
        const std::string digits = text.substr(slash + 1);
        bool numeric = !digits.empty() && digits.size() <= kMaxPrefixDigits;
        for (const char c : digits) numeric = numeric && std::isdigit(static_cast<unsigned char>(c)) != 0;
        prefix = numeric ? std::stoi(digits, nullptr, kDecimalBase) : -1;
        if (prefix < 0 || prefix > kAddressBits) {
            why = "\"" + text + "\": the prefix length after '/' must be 0 to 32";
            return false;
        }
    }
    // A shift by the full width is undefined, so /0 is spelt out.
    network.mask = prefix == 0 ? 0 : ~std::uint32_t{0} << (kAddressBits - prefix);
    network.address = ntohl(parsed.s_addr) & network.mask;
    return true;
}

bool AllowList::add(const std::string& text, std::string& why) {
    Network network;
    if (!parseNetwork(text, network, why)) return false;
    networks_.push_back(network);
    return true;
}

bool AllowList::allows(std::uint32_t address) const {
    if (networks_.empty()) return true;
    for (const Network& network : networks_) {
        if ((address & network.mask) == network.address) return true;
    }
    return false;
}

}  // namespace oxle::server
