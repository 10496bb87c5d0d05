// The camera's property page, as OleCreatePropertyFrame would drive it.
#include "camera_fixture.h"
#include "support/message_window.h"
#include "vidlox_testcam.h"

#include <ocidl.h>
#include <olectl.h>

#include <string>

namespace vlx_test {
namespace {

class PropertyPage : public CameraTest {};

TEST_F(PropertyPage, FilterAndPinNameThePageThatShowsTheFormat) {
    ComPtr<IBaseFilter> camera = bind_device(VLXCAM_NAME_MAIN);
    ASSERT_TRUE(camera);
    ComPtr<IPin> pin;
    ASSERT_EQ(camera->FindPin(L"Capture", pin.put()), S_OK);

    CLSID page_clsid{};
    for (IUnknown* object : {static_cast<IUnknown*>(camera.get()), static_cast<IUnknown*>(pin.get())}) {
        ComPtr<ISpecifyPropertyPages> specify;
        ASSERT_EQ(object->QueryInterface(IID_ISpecifyPropertyPages, specify.put_void()), S_OK);
        CAUUID pages{};
        ASSERT_EQ(specify->GetPages(&pages), S_OK);
        ASSERT_EQ(pages.cElems, 1u);
        page_clsid = pages.pElems[0];
        CoTaskMemFree(pages.pElems);
    }

    ComPtr<IPropertyPage> page;
    ASSERT_EQ(CoCreateInstance(page_clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage, page.put_void()), S_OK);
    PROPPAGEINFO info{};
    ASSERT_EQ(page->GetPageInfo(&info), S_OK);
    EXPECT_EQ(std::wstring(info.pszTitle), L"Format");
    CoTaskMemFree(info.pszTitle);

    IUnknown* objects[] = {camera.get()};
    ASSERT_EQ(page->SetObjects(1, objects), S_OK);
    MessageWindow host;
    const RECT area{0, 0, 240, 60};
    ASSERT_EQ(page->Activate(host.handle(), &area, FALSE), S_OK);
    HWND shown = GetWindow(host.handle(), GW_CHILD);
    ASSERT_TRUE(shown);
    wchar_t text[128] = L"";
    GetWindowTextW(shown, text, 128);
    EXPECT_EQ(std::wstring(text), L"RGB24 640 x 480, 30.00 frames per second");
    EXPECT_EQ(page->Deactivate(), S_OK);
    EXPECT_EQ(page->SetObjects(0, nullptr), S_OK);
}

}  // namespace
}  // namespace vlx_test
