#pragma once
// What the client-side server tests share: scripted message boxes and login dialog registered for
// the test's length, and an owner that keeps the upload pages it receives.
#include "platform/ScriptedPrompts.h"
#include "server/LoginPrompt.h"
#include "server/ServerConnection.h"

#include <gtest/gtest.h>
#include <vector>

namespace ClientTest {

inline const char kRejected[] = "The UserName/Password could not be verified on the server.\nPlease retry login.";

class Pages : public UploadPageHandler {
public:
    void OnUploadPage(ServerConnection &, const UploadPageReply &reply) override { pages.push_back(reply.Page()); }
    std::vector<QByteArray> pages;
};

class Fixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        Prompts::Register(&prompts);
        LoginPrompt::Register(&login);
    }
    void TearDown() override
    {
        Prompts::Register(nullptr);
        LoginPrompt::Register(nullptr);
    }
    // The next answer of the login dialog.
    void Answer(const QString &name, const QString &password, bool remember = false)
    {
        login.answers.push_back(LoginFields{name, password, remember});
    }

    ScriptedPrompts prompts;
    ScriptedLoginPrompt login;
};

} // namespace ClientTest
