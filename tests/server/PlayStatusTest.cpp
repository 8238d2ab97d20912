#include <expat.h>
#include <gtest/gtest.h>

#include <map>

#include "server/PlayStatus.h"

namespace oxle::server {
namespace {

// Collects the texts the box reads: root children by name, and the "info" texts of the
// category named "Stream 0" by their "name" attribute.
struct StatusReader {
    int depth = 0;
    std::string element;
    std::string category;
    std::string info;
    std::map<std::string, std::string> values;

    static void start(void* self, const XML_Char* name, const XML_Char** attributes) {
        auto* r = static_cast<StatusReader*>(self);
        ++r->depth;
        r->element = name;
        std::string nameAttribute;
        for (int i = 0; attributes[i] != nullptr; i += 2) {
            if (std::string(attributes[i]) == "name") nameAttribute = attributes[i + 1];
        }
        if (r->element == "category") r->category = nameAttribute;
        if (r->element == "info" && r->category == "Stream 0") r->info = nameAttribute;
    }
    static void end(void* self, const XML_Char*) {
        auto* r = static_cast<StatusReader*>(self);
        --r->depth;
        r->element.clear();
        r->info.clear();
    }
    static void text(void* self, const XML_Char* s, int length) {
        auto* r = static_cast<StatusReader*>(self);
        if (r->depth == 2 && !r->element.empty()) r->values[r->element].append(s, static_cast<std::size_t>(length));
        if (!r->info.empty()) r->values["info:" + r->info].append(s, static_cast<std::size_t>(length));
    }
    bool read(const std::string& document) {
        XML_Parser parser = XML_ParserCreate(nullptr);
        XML_SetUserData(parser, this);
        XML_SetElementHandler(parser, &StatusReader::start, &StatusReader::end);
        XML_SetCharacterDataHandler(parser, &StatusReader::text);
        const bool ok = XML_Parse(parser, document.data(), static_cast<int>(document.size()), 1) == XML_STATUS_OK;
        XML_ParserFree(parser);
        return ok;
    }
};

TEST(PlayStatusTest, DocumentCarriesTimeLengthPositionCodecAndResolution) {
    PlayStatus status;
    status.time = 600;
    status.length = 5400;
    status.position = 11;
    status.codec = "H.264";
    status.resolution = "1280x720";
    StatusReader reader;
    ASSERT_TRUE(reader.read(status.document())) << status.document();
    EXPECT_EQ(reader.values["time"], "600");
    EXPECT_EQ(reader.values["length"], "5400");
    EXPECT_EQ(reader.values["position"], "11");
    EXPECT_EQ(reader.values["info:Codec"], "H.264");
    EXPECT_EQ(reader.values["info:Aufl\xC3\xB6sung"], "1280x720");
}

TEST(PlayStatusTest, IdleDocumentHasZeros) {
    StatusReader reader;
    ASSERT_TRUE(reader.read(PlayStatus().document()));
    EXPECT_EQ(reader.values["time"], "0");
    EXPECT_EQ(reader.values["length"], "0");
    EXPECT_EQ(reader.values["position"], "0");
}

}  // namespace
}  // namespace oxle::server
