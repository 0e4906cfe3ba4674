// web_ui_controller_test.cpp: the offer view's controller as a COM object
// (its interfaces, reference count, event argument checks and host
// flags), and subscribed to a real Web Browser control hosted in the
// program's own in-place container (Wine's control works without its
// HTML engine; it loads no document).
#include "wizard/web_ui_controller.h"

#include <windows.h>
#include <exdisp.h>
#include <exdispid.h>
#include <mshtmhst.h>

#include <vector>

#include "gtest/gtest.h"
#include "platform/ole_control_host.h"
#include "platform/web_browser2.h"

namespace {

const IID kDWebBrowserEvents2 = {0x34a715a0, 0x6587, 0x11d0, {0x92, 0x4a, 0x00, 0x20, 0xaf, 0xc7, 0xac, 0x4d}};

TEST(CWebUIControllerTest, QueryInterfaceGivesEachSideWithAReferenceAndRefusesOthers) {
  CWebUIController controller;
  IDispatch* events = static_cast<IDispatch*>(&controller);
  IUnknown* host = static_cast<IDocHostUIHandler*>(&controller);
  struct Case {
    const char* label;
    IID iid;
    HRESULT result;
    void* pointer;
  } const kCases[] = {
      {"DWebBrowserEvents2", kDWebBrowserEvents2, S_OK, events},
      {"IDispatch", IID_IDispatch, S_OK, events},
      {"IDocHostUIHandler", __uuidof(IDocHostUIHandler), S_OK, host},
      {"IUnknown", IID_IUnknown, S_OK, host},
      {"IWebBrowser2", IID_IWebBrowser2, E_NOINTERFACE, nullptr},
      {"ICustomDoc", __uuidof(ICustomDoc), E_NOINTERFACE, nullptr},
  };
  LONG expected = 0;
  for (const Case& c : kCases) {
    void* result = reinterpret_cast<void*>(1);
    EXPECT_EQ(c.result, controller.QueryInterface(c.iid, &result)) << c.label;
    EXPECT_EQ(c.pointer, result) << c.label;
    if (c.result == S_OK) ++expected;
    EXPECT_EQ(expected, controller.GetRefCount()) << c.label;
  }
  // Counting down to zero destroys nothing: the page owns the object.
  for (; expected > 0; --expected) EXPECT_EQ(static_cast<ULONG>(expected - 1), host->Release());
  EXPECT_EQ(1u, controller.AddRef());
  EXPECT_EQ(0u, controller.Release());
}

TEST(CWebUIControllerTest, InvokeChecksTheCompletedNavigationsArguments) {
  CWebUIController controller;
  VARIANT address;
  VariantInit(&address);
  auto args = [](std::vector<VARIANT>* values) {
    DISPPARAMS parameters = {};
    parameters.rgvarg = values->data();
    parameters.cArgs = static_cast<UINT>(values->size());
    return parameters;
  };
  auto variant = [](VARTYPE type, IDispatch* object) {
    VARIANT value;
    VariantInit(&value);
    value.vt = type;
    value.pdispVal = object;
    return value;
  };
  IDispatch* self = static_cast<IDispatch*>(&controller);
  std::vector<VARIANT> none;
  std::vector<VARIANT> one = {address};
  std::vector<VARIANT> notAnObject = {address, variant(VT_I4, nullptr)};
  std::vector<VARIANT> nullObject = {address, variant(VT_DISPATCH, nullptr)};
  std::vector<VARIANT> noBrowser = {address, variant(VT_DISPATCH, self)};
  struct Case {
    const char* label;
    DISPID id;
    std::vector<VARIANT>* values;  // null: no parameter block
    HRESULT result;
  } const kCases[] = {
      {"no parameter block", DISPID_NAVIGATECOMPLETE2, nullptr, E_INVALIDARG},
      {"no parameter block, other event", DISPID_BEFORENAVIGATE2, nullptr, E_INVALIDARG},
      {"other event, no arguments", DISPID_BEFORENAVIGATE2, &none, S_OK},
      {"one argument", DISPID_NAVIGATECOMPLETE2, &one, E_INVALIDARG},
      {"navigated object not an object", DISPID_NAVIGATECOMPLETE2, &notAnObject, E_INVALIDARG},
      {"null navigated object", DISPID_NAVIGATECOMPLETE2, &nullObject, S_OK},
      {"object without a browser", DISPID_NAVIGATECOMPLETE2, &noBrowser, S_OK},
  };
  for (const Case& c : kCases) {
    DISPPARAMS parameters = {};
    if (c.values) parameters = args(c.values);
    EXPECT_EQ(c.result, controller.Invoke(c.id, IID_NULL, 0, DISPATCH_METHOD, c.values ? &parameters : nullptr,
                                          nullptr, nullptr, nullptr))
        << c.label;
  }
  // Asking the object for its browser took no reference away.
  EXPECT_EQ(0, controller.GetRefCount());
}

TEST(CWebUIControllerTest, HostInfoDropsBorderAndScrollBarsOnlyWhenSwitchedOff) {
  struct Case {
    BOOL border;
    BOOL scrollBars;
    DWORD flags;
  } const kCases[] = {{TRUE, TRUE, 0x1}, {FALSE, TRUE, 0x5}, {TRUE, FALSE, 0x9}, {FALSE, FALSE, 0xD}, {-1, 2, 0x5}};
  for (const Case& c : kCases) {
    CWebUIController controller;
    controller.SetShowBorder(c.border);
    controller.SetShowScrollBars(c.scrollBars);
    DOCHOSTUIINFO info = {};
    info.cbSize = sizeof(info);
    info.dwFlags = 0x1;  // what the document had stays
    EXPECT_EQ(S_OK, controller.GetHostInfo(&info));
    EXPECT_EQ(c.flags, info.dwFlags) << c.border << "," << c.scrollBars;
  }
  CWebUIController controller;
  EXPECT_EQ(S_OK, controller.GetHostInfo(nullptr));
  EXPECT_EQ(E_NOTIMPL, controller.ShowContextMenu(0, nullptr, nullptr, nullptr));
  EXPECT_EQ(E_NOTIMPL, controller.GetTypeInfoCount(nullptr));
}

class HostedBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    m_parent = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, m_parent);
    RECT rect = {0, 0, 400, 300};
    ASSERT_TRUE(m_browser.Create(L"", 0, rect, m_parent, 11158));
    COleControlHost* host = COleControlHost::FromWindow(m_browser.GetSafeHwnd());
    ASSERT_NE(nullptr, host);
    if (FAILED(host->GetCreateResult())) {
      GTEST_SKIP() << "no Web Browser control here: 0x" << std::hex << host->GetCreateResult();
    }
  }
  void TearDown() override {
    m_browser.Unsubscribe();
    if (m_parent) DestroyWindow(m_parent);
    OleUninitialize();
  }
  HWND m_parent = nullptr;
  CWebBrowser2 m_browser;
};

TEST_F(HostedBrowserTest, ControllerSubscribesToTheHostedControlAndLetsGoOfIt) {
  IWebBrowser2* browser = nullptr;
  ASSERT_EQ(S_OK, m_browser.GetWebBrowser(&browser));
  // The controller subscribes and the control holds it; letting go of the
  // browser gives its references back.
  CWebUIController controller;
  controller.SetWebBrowser(browser);
  EXPECT_NE(0u, controller.GetCookie());
  EXPECT_GT(controller.GetRefCount(), 0);
  controller.SetWebBrowser(nullptr);
  EXPECT_EQ(0u, controller.GetCookie());
  EXPECT_EQ(0, controller.GetRefCount());
  browser->Release();
  // The container closes the control with its window.
  DestroyWindow(m_parent);
  m_parent = nullptr;
  EXPECT_EQ(E_HANDLE, m_browser.GetWebBrowser(&browser));
}

}  // namespace
