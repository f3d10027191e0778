#include "base/message_catalogue.h"
#include "base/app_path.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

namespace brindlecot {
namespace {

class MessageCatalogueTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetAppFolder(folder_.path().string());
        folder_.Write("language/msgSimChi.ini", "[Probe]\nmsg1=simplified\n");
        folder_.Write("language/msgTraChi.ini", "[Probe]\nmsg1=traditional\n");
    }
    void WriteConfig(std::string_view content) { folder_.Write("language/config.ini", content); }
    std::string ChosenText() {
        SelectMessageCatalogue();
        return LoadMessage("Probe", "msg1");
    }

    testing::TempFolder folder_;
};

TEST_F(MessageCatalogueTest, ModeZeroAbsentOrNoConfigChooseSimplified) {
    EXPECT_EQ(ChosenText(), "simplified");
    EXPECT_EQ(MessageCatalogueName(), "language/msgSimChi.ini");
    WriteConfig("[language]\nmode=0\n");
    EXPECT_EQ(ChosenText(), "simplified");
    WriteConfig("[language]\nother=1\n");
    EXPECT_EQ(ChosenText(), "simplified");
    WriteConfig("[elsewhere]\nmode=1\n");
    EXPECT_EQ(ChosenText(), "simplified");
}

TEST_F(MessageCatalogueTest, AnyOtherModeChoosesTraditional) {
    for (const char* mode : {"1", "2", "-1", "1 # traditional"}) {
        WriteConfig(std::string{"[language]\nmode="} + mode + "\n");
        EXPECT_EQ(ChosenText(), "traditional") << "mode=" << mode;
        EXPECT_EQ(MessageCatalogueName(), "language/msgTraChi.ini");
    }
    // The choice can be made again: back to simplified.
    WriteConfig("[language]\nmode=0\n");
    EXPECT_EQ(ChosenText(), "simplified");
}

TEST_F(MessageCatalogueTest, LongTextsAreCutTo255Bytes) {
    const std::string longText(300, 'x');
    folder_.Write("language/msgSimChi.ini",
                  "[S]\nmsg1=" + longText + "\nmsg2=" + std::string(255, 'y') + "\n");
    SelectMessageCatalogue();
    EXPECT_EQ(LoadMessage("S", "msg1"), std::string(255, 'x'));
    EXPECT_EQ(LoadMessage("S", "msg2"), std::string(255, 'y'));
}

TEST_F(MessageCatalogueTest, MissingKeySectionOrCatalogueGivesEmptyText) {
    SelectMessageCatalogue();
    EXPECT_EQ(LoadMessage("Probe", "msg2"), "");
    EXPECT_EQ(LoadMessage("DialogOperSelect", "msg1"), "");
    std::filesystem::remove(folder_ / "language/msgSimChi.ini");
    EXPECT_EQ(LoadMessage("Probe", "msg1"), "");
}

}  // namespace
}  // namespace brindlecot
