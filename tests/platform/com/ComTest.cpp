// The object layer: creation by class id, status texts and variants.
#include "com/ClassRegistry.h"
#include "com/Status.h"
#include "com/Variant.h"

#include <gtest/gtest.h>

namespace {

class Thing : public com::IUnknown {};

const char* const kThing = "{12345678-0000-0000-0000-00000000ABCD}";
const char* const kThingIid = "{12345678-0000-0000-0000-0000000000AA}";

} // namespace

TEST(ClassRegistry, CreatesByClassIdInAnyLetterCaseAndAsksForTheInterface) {
    com::registerClass(kThing, [](const std::string& iid) -> std::shared_ptr<com::IUnknown> {
        if (iid != kThingIid) return nullptr;
        return std::make_shared<Thing>();
    });
    EXPECT_TRUE(com::isClassRegistered("{12345678-0000-0000-0000-00000000abcd}"));
    EXPECT_NE(com::createInstanceAs<Thing>("{12345678-0000-0000-0000-00000000abcd}", kThingIid), nullptr);
    try {
        com::createInstance(kThing, "{00000000-0000-0000-0000-000000000001}");
        ADD_FAILURE() << "created for an unknown interface";
    } catch (const com::ComError& e) {
        EXPECT_EQ(e.status(), com::E_NOINTERFACE);
    }
    com::unregisterClass(kThing);
    try {
        com::createInstance(kThing, kThingIid);
        ADD_FAILURE() << "created an unregistered class";
    } catch (const com::ComError& e) {
        EXPECT_EQ(e.status(), com::REGDB_E_CLASSNOTREG);
        EXPECT_EQ(e.description(), "Class not registered");
    }
}

TEST(Status, MessageIsDescriptionElseStatusTextElseOleError) {
    EXPECT_EQ(com::errorMessage(com::E_FAIL, "Disk full"), "Disk full");
    EXPECT_EQ(com::errorMessage(com::REGDB_E_CLASSNOTREG, ""), "Class not registered");
    EXPECT_EQ(com::errorMessage(static_cast<com::HRESULT>(0x800A0BB9u), ""), "OLE error 800a0bb9");
}

TEST(Variant, KindsAndWidening) {
    EXPECT_TRUE(com::Variant().isEmpty());
    EXPECT_TRUE(com::Variant::null().isNull());
    EXPECT_EQ(com::Variant(std::int16_t(-3)).toInt32(), -3);
    EXPECT_EQ(com::Variant("x").type(), com::VarType::String);
    EXPECT_EQ(com::Variant(com::Currency{12345}).toCurrency().scaled, 12345);
    EXPECT_NE(com::Variant(std::int16_t(1)), com::Variant(std::int32_t(1))); // kinds differ
    EXPECT_THROW(com::Variant(2.5).toInt32(), std::bad_variant_access);
}
