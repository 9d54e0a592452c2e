#include "kit/ComPtr.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>

using kit::com_ptr;

namespace {

// An object whose reference count the test reads; it lives on the test's stack.
class Counted : public IUnknown {
public:
    ULONG refs = 1;  // the creator's
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (riid != IID_IUnknown) return E_NOINTERFACE;
        *ppv = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
};

} // namespace

TEST(ComPtr, AttachAdoptsCopiesAddAndResetsRelease) {
    Counted first, second;
    com_ptr<IUnknown> a, b;
    IUnknown* handedOut = nullptr;
    struct Step {
        const char* what;
        std::function<void()> run;
        ULONG firstRefs, secondRefs;
    };
    const Step steps[] = {
        {"Attach adopts the creator's reference", [&] { a.Attach(&first); }, 1, 1},
        {"a copy adds one", [&] { b = a; }, 2, 1},
        {"a move transfers, and the moved-to holder releases when it goes",
         [&] { EXPECT_TRUE(com_ptr<IUnknown>(std::move(b)) == a && !b); }, 1, 1},
        {"building from a raw pointer adds one", [&] { b = &second; }, 1, 2},
        {"Reset releases and answers the count left", [&] { EXPECT_EQ(b.Reset(), 1u); }, 1, 1},
        {"CopyTo hands out a new reference", [&] { EXPECT_EQ(a.CopyTo(&handedOut), S_OK); }, 2, 1},
        {"Attach adopts the handed-out reference", [&] { b.Attach(handedOut); }, 2, 1},
        {"As queries into a holder, releasing what it held", [&] { EXPECT_TRUE(a.As(&b) == S_OK && b == a); }, 2, 1},
        {"ReleaseAndGetAddressOf releases before the out parameter is filled",
         [&] { a->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(b.ReleaseAndGetAddressOf())); },
         2, 1},
        {"Attach over a held pointer releases the old one", [&] { b.Attach(&second); }, 1, 1},
        {"Detach hands the reference out without a release", [&] { handedOut = b.Detach(); }, 1, 1},
        {"the detached reference is the caller's to release", [&] { EXPECT_EQ(handedOut->Release(), 0u); }, 1, 0},
        {"a holder of a base interface takes a derived one", [&] { b = com_ptr<Counted>(&second); }, 1, 1},
        {"and releases when it goes", [&] { b = nullptr; }, 1, 0},
        {"As on an empty holder fails and empties the target", [&] { EXPECT_EQ(b.As(&a), E_POINTER); }, 0, 0},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        s.run();
        EXPECT_EQ(first.refs, s.firstRefs);
        EXPECT_EQ(second.refs, s.secondRefs);
    }
    EXPECT_FALSE(a);
    EXPECT_TRUE(a == nullptr);
}
