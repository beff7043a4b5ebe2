// The commands run without any window: handed a login, a data module and a refresh, they connect,
// change, report, disconnect and ask for the refresh in that order.
#include "commands/AccountCommands.h"
#include "commands/PermCommands.h"
#include "support/Engine.h"
#include "support/QtPrinting.h"
#include "support/TempDir.h"
#include "support/TestFiles.h"
#include "ui/Dialogs.h"

#include <gtest/gtest.h>

using namespace kltest;

namespace {

class CommandFrame : public ::testing::Test {
protected:
    void SetUp() override {
        ui::installDialogHooks(&hooks);
        files = makeCommandFiles(QString::fromStdString(dir.file("files")));
    }
    void TearDown() override { ui::installDialogHooks(nullptr); }

    // The context the window would hand over; each refresh notes whether the connection was still open.
    TCommandContext context(const std::string& password = "") {
        return {{files.mdbPath(), files.mdwPath(), "admin", password, dvDAO36}, data, [this] {
                    refreshes.push_back(data.db1.Connected());
                }};
    }
    std::int32_t explicitNow(const std::string& object, const std::string& account) {
        return explicitOf(open(loginTo(files.mdwPath()), files.mdbPath()), "Tables", object, account);
    }

    TempDir dir;
    TTestFiles files;
    Tdm_Inspect data;
    ui::DialogHooks hooks;
    std::vector<bool> refreshes;
};

TEST_F(CommandFrame, AChangeIsWrittenThenTheConnectionClosedThenTheViewsRefreshed) {
    ApplyPermissionChange(context(), "Tables", "Lines", TRowKind::Document, poAndNot, 0x8, "bob");
    EXPECT_EQ(explicitNow("Lines", "bob"), 0x10004);
    EXPECT_EQ(refreshes, std::vector<bool>{false});
    EXPECT_TRUE(hooks.messages.isEmpty());

    // A read takes the same frame but asks for no refresh.
    EXPECT_EQ(ReadExplicitPermission(context(), "Tables", "Orders", TRowKind::Document, "Sales"), 0x20000);
    EXPECT_EQ(refreshes.size(), 1u);
    EXPECT_FALSE(data.db1.Connected());

    // A refusal is the command's one box; the refresh still follows.
    DoUGCommand(context(), ugAddToGroup, "nobody", "Sales");
    ASSERT_EQ(hooks.messages.size(), 1);
    EXPECT_TRUE(hooks.messages.front().startsWith("Error: "));
    EXPECT_EQ(refreshes, (std::vector<bool>{false, false}));
}

TEST_F(CommandFrame, AFailedConnectIsTheOnlyBoxAndChangesNothing) {
    SetNewOwner(context("wrong"), "Tables", "Lines", TRowKind::Document, "bob");
    ASSERT_EQ(hooks.messages.size(), 1);
    EXPECT_TRUE(hooks.messages.front().startsWith("Error: "));
    EXPECT_EQ(refreshes, std::vector<bool>{false});
    EXPECT_EQ(object(open(loginTo(files.mdwPath()), files.mdbPath()), "Tables", "Lines")->Owner(), "admin");

    EXPECT_FALSE(ReadExplicitPermission(context("wrong"), "Tables", "Lines", TRowKind::Document, "bob"));
    EXPECT_EQ(hooks.messages.size(), 2);
    EXPECT_EQ(refreshes.size(), 1u);
}

} // namespace
