// Late-bound calls against a real automation object of the system, the scripting dictionary.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include "base/Error.h"
#include "com/ComApartmentWin.h"
#include "com/DispatchWin.h"

namespace gridvane {
namespace {

using ::testing::HasSubstr;

DispatchObject NewDictionary()
{
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(L"Scripting.Dictionary", &clsid), S_OK);
    void* dispatch = nullptr;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, &dispatch), S_OK);
    return DispatchObject(dispatch);
}

// dictionary.Add(key, item) with any VARIANT as the item.
void Add(const DispatchObject& dictionary, const wchar_t* key, VARIANT item)
{
    auto* dispatch = static_cast<IDispatch*>(dictionary.Get());
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Add")};
    DISPID id = 0;
    ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    VARIANT args[2];
    args[0] = item;
    VariantInit(&args[1]);
    args[1].vt = VT_BSTR;
    args[1].bstrVal = SysAllocString(key);
    DISPPARAMS params{args, nullptr, 2, 0};
    ASSERT_EQ(dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
              S_OK);
    VariantClear(&args[1]);
    VariantClear(&args[0]);
}

VARIANT Of(VARTYPE type)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = type;
    return v;
}

ULONG References(void* object)
{
    auto* unknown = static_cast<IUnknown*>(object);
    unknown->AddRef();
    return unknown->Release();
}

class DispatchWin : public ::testing::Test {
protected:
    ComApartment apartment;
    DispatchObject dictionary = NewDictionary();

    void SetUp() override
    {
        VARIANT v = Of(VT_R8);
        v.dblVal = 12.5;
        Add(dictionary, L"number", v);
        v = Of(VT_I4);
        v.lVal = -7;
        Add(dictionary, L"integer", v);
        v = Of(VT_BSTR);
        v.bstrVal = SysAllocString(L"行1\n行2");
        Add(dictionary, L"text", v);
        v = Of(VT_BOOL);
        v.boolVal = VARIANT_TRUE;
        Add(dictionary, L"true", v);
        v = Of(VT_BOOL);
        v.boolVal = VARIANT_FALSE;
        Add(dictionary, L"false", v);
        Add(dictionary, L"empty", Of(VT_EMPTY));
        Add(dictionary, L"null", Of(VT_NULL));
        v = Of(VT_ERROR);
        v.scode = static_cast<SCODE>(0x800A07D7); // a division by zero as the spreadsheet reports it
        Add(dictionary, L"error", v);
    }
};

TEST_F(DispatchWin, ConvertsValuesOrRefusesThem)
{
    EXPECT_EQ(dictionary.Number(u"Item", {u"number"}), 12.5);
    EXPECT_EQ(dictionary.Number(u"Item", {u"integer"}), -7);
    EXPECT_EQ(dictionary.Number(u"Item", {u"empty"}), 0); // empty counts as 0
    EXPECT_EQ(dictionary.Number(u"Count"), 8);
    EXPECT_EQ(dictionary.Text(u"Item", {u"text"}), u"行1\n行2");
    EXPECT_EQ(dictionary.Text(u"Item", {u"empty"}), u"");
    EXPECT_TRUE(dictionary.Boolean(u"Item", {u"true"}));
    EXPECT_FALSE(dictionary.Boolean(u"Item", {u"false"}));
    EXPECT_FALSE(dictionary.Boolean(u"Item", {u"null"}));
    EXPECT_TRUE(dictionary.Boolean(u"Exists", {u"text"}));

    EXPECT_EQ(dictionary.Value(u"Item", {u"number"}), DispatchValue(12.5));
    EXPECT_EQ(dictionary.Value(u"Item", {u"integer"}), DispatchValue(-7.0));
    EXPECT_EQ(dictionary.Value(u"Item", {u"text"}), DispatchValue(u"行1\n行2"));
    EXPECT_EQ(dictionary.Value(u"Item", {u"true"}), DispatchValue(true));
    EXPECT_EQ(dictionary.Value(u"Item", {u"empty"}), DispatchValue());

    const struct {
        const char16_t* key;
        const char* message;
    } refused[] = {{u"null", "Item: 値が Null です"}, {u"error", "Item: 値がエラー値です"}};
    for (const auto& r : refused) {
        EXPECT_THROW(dictionary.Number(u"Item", {r.key}), Error);
        EXPECT_THROW(dictionary.Text(u"Item", {r.key}), Error);
        try {
            dictionary.Value(u"Item", {r.key});
            ADD_FAILURE() << "no error";
        } catch (const Error& error) {
            EXPECT_STREQ(error.what(), r.message);
        }
    }
    EXPECT_THROW(dictionary.Number(u"Item", {u"text"}), Error); // not a number
}

TEST_F(DispatchWin, WritesAndFailsWithTheMembersName)
{
    dictionary.Put(u"Item", false, {u"true"});
    EXPECT_FALSE(dictionary.Boolean(u"Item", {u"true"}));

    try {
        dictionary.Number(u"NoSuchMember");
        ADD_FAILURE() << "no error";
    } catch (const Error& error) {
        EXPECT_THAT(error.what(), HasSubstr("NoSuchMember: "));
    }
    EXPECT_THROW(dictionary.Object(u"Item", {u"number"}), Error); // not an object
    EXPECT_THROW(DispatchObject().Number(u"Count"), Error);
}

TEST_F(DispatchWin, ObjectsAreReleased)
{
    DispatchObject inner = NewDictionary();
    VARIANT v = Of(VT_DISPATCH);
    v.pdispVal = static_cast<IDispatch*>(inner.Get());
    v.pdispVal->AddRef();
    Add(dictionary, L"inner", v);
    const ULONG held = References(inner.Get());
    {
        const DispatchObject again = dictionary.Object(u"Item", {u"inner"});
        EXPECT_EQ(again.Number(u"Count"), 0);
        EXPECT_GT(References(inner.Get()), held);
    }
    EXPECT_EQ(References(inner.Get()), held);

    DispatchObject moved = std::move(inner);
    EXPECT_FALSE(inner);
    EXPECT_EQ(References(moved.Get()), held);
}

TEST_F(DispatchWin, AttachesOnlyToRunningServers)
{
    // Registered, but never in the running-object table.
    EXPECT_THROW(DispatchObject::AttachRunning(u"Scripting.Dictionary"), Error);
    // Not registered on this machine.
    try {
        DispatchObject::AttachRunning(u"Gridvane.NoSuchServer");
        ADD_FAILURE() << "no error";
    } catch (const Error& error) {
        EXPECT_THAT(error.what(), HasSubstr("Gridvane.NoSuchServer: "));
    }
}

} // namespace
} // namespace gridvane
