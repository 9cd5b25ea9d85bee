#include "StringTable.h"
#include "resource.h"

#include <gtest/gtest.h>

namespace {

TEST(StringTable, FixedTextsAreExact)
{
    EXPECT_EQ(LoadResString(IDR_MAINFRAME), "Vellumark");
    EXPECT_EQ(LoadResString(AFX_IDS_APP_TITLE), "Vellumark");
    EXPECT_EQ(LoadResString(AFX_IDS_IDLEMESSAGE), "For Help, press F1");
    EXPECT_EQ(LoadResString(IDS_SOCKETS_INIT_FAILED), "Windows sockets initialization failed.");
    EXPECT_EQ(LoadResString(IDS_SETTINGS_KEY), "Software\\Corvanta\\Vellumark");
    EXPECT_EQ(LoadResString(IDS_HELP_TITLE), "the on-line help.");
    EXPECT_EQ(LoadResString(IDS_HOMEPAGE_TITLE), "the Corvantaplex home page.");
    EXPECT_EQ(LoadResString(ID_INDICATOR_POSITION), "X : 0,  Y : 0");
    EXPECT_EQ(LoadResString(ID_INDICATOR_FRAME), "Frame : 0,  Total : 0");
}

TEST(StringTable, BannerMagicIsTheTwentyNineCharacterFileHeader)
{
    const QString magic = LoadResString(IDS_BANNER_MAGIC);
    EXPECT_EQ(magic, "Corvantaplex Banner File#####");
    // The writer puts exactly 29 one-byte characters in front of 0x1A; the reader looks for
    // both words, case-sensitively.
    ASSERT_EQ(magic.size(), 29);
    EXPECT_EQ(magic.toLatin1().size(), 29);
    EXPECT_TRUE(magic.contains("Corvanta"));
    EXPECT_TRUE(magic.contains("Banner"));
}

TEST(StringTable, HomePageAddressAndSettingsKeyFitTheirUse)
{
    const QString url = LoadResString(IDS_HOMEPAGE_URL);
    EXPECT_TRUE(url.startsWith("https://")) << url.toStdString();
    // The settings key is loaded into a buffer of 100 characters.
    EXPECT_LT(LoadResString(IDS_SETTINGS_KEY).size(), 100);
}

TEST(StringTable, MissingEntryReportsFailure)
{
    QString text = "untouched";
    EXPECT_EQ(LoadResString(1u, &text), -1);
    EXPECT_EQ(text, "untouched");
    EXPECT_TRUE(LoadResString(99999u).isEmpty());
    EXPECT_TRUE(LoadPrompt(99999u).isEmpty());
    EXPECT_TRUE(LoadToolTip(99999u).isEmpty());
    EXPECT_EQ(LoadResString(IDS_SETTINGS_KEY, nullptr), 0);
}

TEST(StringTable, PromptAndToolTipSplitAtTheFirstNewline)
{
    EXPECT_EQ(LoadPrompt(ID_FRAME_PASTE), "Replace selected frame");
    EXPECT_EQ(LoadToolTip(ID_FRAME_PASTE), "Paste frame");
    EXPECT_EQ(LoadPrompt(ID_FRAME_DELAY), "Frame delay");
    EXPECT_EQ(LoadToolTip(ID_FRAME_DELAY), "Frame delay");
    EXPECT_EQ(LoadPrompt(ID_EDIT_PASTE), "Paste item from clipboard");
    EXPECT_EQ(LoadPrompt(ID_ZOOMCOMBO), "Change zoom factor of this view");
    EXPECT_EQ(LoadToolTip(ID_ZOOMCOMBO), "Change Zoom Factor");
    EXPECT_EQ(LoadToolTip(ID_ANIMATION_FIRSTFRAME), "First "); // the trailing blank is part of it
    EXPECT_EQ(LoadToolTip(ID_ANIMATION_LASTFRAME), "End");
    EXPECT_EQ(LoadPrompt(ID_SERVER_LOGOUTBUTTON), "Logout from the Vellumark Server");
    EXPECT_EQ(LoadToolTip(ID_SERVER_LOGOUTBUTTON), "Logout");
    EXPECT_EQ(LoadResString(ID_SERVER_UPLOADGIF), "Upload GIF to Corvantaplex\nUpload GIF");
    EXPECT_EQ(LoadResString(ID_VIEW_FRAMES), "Show or hide the Frames View\nToggle Frames View");
    EXPECT_EQ(LoadResString(ID_FILE_SAVE_AS), "Save the selected banner with a new name\nSave As");
    // An entry without a newline is all prompt, no tooltip.
    EXPECT_EQ(LoadPrompt(AFX_IDS_IDLEMESSAGE), "For Help, press F1");
    EXPECT_TRUE(LoadToolTip(AFX_IDS_IDLEMESSAGE).isEmpty());
}

TEST(StringTable, DocumentStringsSplitIntoSevenFields)
{
    struct Expected {
        unsigned id;
        const char *fields[7];
    };
    const Expected expected[] = {
        {IDR_FRAMESVIEW, {"", "Banner", "", "", ".bnr", "Vellumark.Document", "Banner Document"}},
        {IDR_BANNERVIEW,
         {"", "Banner", "Banner", "Banner Files (*.bnr)", ".bnr", "Vellumark.Document", "Banner Document"}},
    };
    for (const Expected &e : expected) {
        EXPECT_EQ(LoadResString(e.id).count('\n'), 6) << e.id;
        for (int i = 0; i < 7; ++i) {
            QString field = "x";
            ASSERT_TRUE(GetDocString(e.id, static_cast<DocStringIndex>(i), &field)) << e.id << " " << i;
            EXPECT_EQ(field, QString::fromUtf8(e.fields[i])) << e.id << " field " << i;
        }
    }
    // Only the Banner View template offers File New.
    QString fileNew;
    ASSERT_TRUE(GetDocString(IDR_FRAMESVIEW, DocStringIndex::FileNewName, &fileNew));
    EXPECT_TRUE(fileNew.isEmpty());

    QString text;
    EXPECT_FALSE(GetDocString(99999u, DocStringIndex::DocName, &text));
    // The title string 128 is one field: there is no document name after it.
    EXPECT_TRUE(GetDocString(IDR_MAINFRAME, DocStringIndex::WindowTitle, &text));
    EXPECT_EQ(text, "Vellumark");
    EXPECT_FALSE(GetDocString(IDR_MAINFRAME, DocStringIndex::DocName, &text));
}

} // namespace
