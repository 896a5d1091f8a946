// Map words of defect map entries, both ways.
#include "ZelDefectPixel.h"

#include <gtest/gtest.h>

namespace {

struct WordCase {
    const char* what;
    int revision;
    ZelDefectPixel entry;
    bool encoded;
    quint32 word;
};

const WordCase wordCases[] = {
    {"revision 4", 4, {5, 7, 103}, true, 0x3001C005},
    {"revision 4, widest fields", 4, {16383, 16383, 114}, true, 0xEFFFFFFF},
    {"revision 4, code 100", 4, {0, 0, 100}, true, 0x00000000},
    {"revision 3", 3, {5, 7, 0}, true, 0x00070005},
    {"revision 2, code 3", 2, {5, 7, 3}, true, 0x00070005},
    {"revision 3, widest fields", 3, {65535, 65534, 0}, true, 0xFFFEFFFF},
    {"revision 4, x = -1", 4, {-1, 7, 103}, false, 0},
    {"revision 4, x = 16384", 4, {16384, 7, 103}, false, 0},
    {"revision 4, y = 16384", 4, {5, 16384, 103}, false, 0},
    {"revision 4, code 200", 4, {5, 7, 200}, false, 0},
    {"revision 4, code 99", 4, {5, 7, 99}, false, 0},
    {"revision 4, code 0 (no pattern)", 4, {5, 7, 0}, false, 0},
    {"revision 4, the end marker", 4, {16383, 16383, 115}, false, 0},
    {"revision 3, y = -1", 3, {5, -1, 0}, false, 0},
    {"revision 3, x = 65536", 3, {65536, 7, 0}, false, 0},
    {"revision 3, code 4", 3, {5, 7, 4}, false, 0},
    {"revision 3, the end marker", 3, {65535, 65535, 0}, false, 0},
};

} // namespace

TEST(ZelDefectPixel, EncodesOnlyWhatTheCameraCanHold)
{
    for (const WordCase& c : wordCases) {
        quint32 word = 0xA5A5A5A5;
        EXPECT_EQ(c.entry.encode(c.revision, word), c.encoded) << c.what;
        EXPECT_EQ(word, c.encoded ? c.word : 0xA5A5A5A5u) << c.what;
    }
}

TEST(ZelDefectPixel, DecodesWhatItEncodes)
{
    for (const WordCase& c : wordCases) {
        if (!c.encoded)
            continue;
        const ZelDefectPixel back = ZelDefectPixel::decode(c.revision, c.word);
        EXPECT_EQ(back.x, c.entry.x) << c.what;
        EXPECT_EQ(back.y, c.entry.y) << c.what;
        // Only revision 4 keeps the code.
        EXPECT_EQ(back.value, c.revision == 4 ? c.entry.value : 0) << c.what;
    }
}
