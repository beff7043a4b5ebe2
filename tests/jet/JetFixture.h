#pragma once
// The suite fixture of the connection tests: the two workgroups of makeTwoWorkgroups in a temporary
// folder shared by the tests of one suite, and the engine classes as the application registers them.
#include "jet/DaoDS.h"
#include "support/TempDir.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

class JetFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    // Every test starts and ends with the engine classes registered as the application has them.
    void SetUp() override;
    void TearDown() override;

    // Replaces the shared DAO 3.6 engine class by one that counts the engines it hands out and gives
    // each a private engine whose SystemDB is preset to presetSystemDB (when not empty).
    void installCountingEngine(const std::string& presetSystemDB = {});
    int enginesCreated() const { return *created_; }

    static kltest::TempDir* dir_;
    static std::string mdwA_, mdwB_, mdb_, mdb30_; // mdb30_: a Jet 3.0 database for DAO 3.5

private:
    std::shared_ptr<int> created_ = std::make_shared<int>(0);
};

// Runs f and returns the message of the EDatabaseError it throws; fails the test when it throws nothing.
template <class F> std::string errorOf(F&& f) {
    try {
        f();
    } catch (const EDatabaseError& e) {
        return e.what();
    }
    ADD_FAILURE() << "no EDatabaseError thrown";
    return {};
}
