#pragma once

#include <string>

namespace oxle::server {

// The answer to "GTI": seconds played, total seconds, percent, and the source's codec
// and resolution in the category the box reads ("Stream 0").
struct PlayStatus {
    int time = 0;
    int length = 0;
    int position = 0;
    std::string codec;
    std::string resolution;

    std::string document() const;
};

}  // namespace oxle::server
