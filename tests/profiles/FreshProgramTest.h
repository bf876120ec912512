#pragma once

#include <gtest/gtest.h>

#include <string>

#include "app/Settings.h"
#include "profiles/profiles.h"
#include "support/TempDir.h"

// A program folder of its own for every test: the program started there with
// AVI output and no profile list filled yet.
class FreshProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitApplication(app.dir());
        Options.OutputFormat = 0;
        Options.LastProfile.fill(std::string());
        for (TProfileList& l : ProfileLists)
            l = TProfileList();
    }
    std::string Root() const { return app.dir() + "langs/English_Profile/"; }

    qvtest::TempDir app;
};
