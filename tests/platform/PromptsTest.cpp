#include <gtest/gtest.h>

#include "platform/Prompts.h"
#include "platform/ScriptedPrompts.h"

TEST(PromptsTest, WindowsFiltersBecomeQtFilters)
{
    const QString filter = "Banner files (*.bnr)|*.bnr|GIF files (*.gif)|*.gif|All files (*.*)|*.*||";
    EXPECT_EQ(WindowsFilterToQt(filter),
              QStringList({"Banner files (*.bnr)", "GIF files (*.gif)", "All files (*.*)"}));
    EXPECT_EQ(WindowsFilterToQt("Pictures|*.bmp;*.jpg||"), QStringList({"Pictures (*.bmp *.jpg)"}));
    EXPECT_EQ(WindowsFilterPatterns("Pictures|*.bmp;*.jpg|Any|*.*||", 1), QStringList({"*.bmp", "*.jpg"}));
    EXPECT_EQ(WindowsFilterPatterns(filter, 2), QStringList({"*.gif"}));
    EXPECT_TRUE(WindowsFilterPatterns(filter, 4).isEmpty());
    EXPECT_TRUE(WindowsFilterPatterns(filter, 0).isEmpty());
}

TEST(PromptsTest, ScriptedPromptsRecordAndAnswer)
{
    ScriptedPrompts scripted;
    Prompts::Register(&scripted);
    scripted.answers.push_back(Prompts::Answer::No);
    scripted.fileChoices.push_back(Prompts::FileChoice{"/tmp/a.bnr", 1});

    EXPECT_EQ(Prompts::Instance().AskSaveChanges("Banner1"), Prompts::Answer::No);
    Prompts::Instance().Message("Error loading file.", Prompts::Icon::Stop);
    const auto chosen = Prompts::Instance().OpenFile({});
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(chosen->path, "/tmp/a.bnr");
    EXPECT_FALSE(Prompts::Instance().OpenFile({}).has_value()); // queue empty: cancelled

    EXPECT_TRUE(scripted.WasShown("Error loading file.", Prompts::Icon::Stop));
    EXPECT_FALSE(scripted.WasShown("Error loading file.", Prompts::Icon::None));
    EXPECT_EQ(scripted.messages.front().buttons, Prompts::Buttons::YesNoCancel);

    scripted.gifWarningKeepShowing = false;
    EXPECT_FALSE(Prompts::Instance().ShowGifWarning());
    EXPECT_EQ(scripted.gifWarningsShown, 1);
    Prompts::Register(nullptr);
}
