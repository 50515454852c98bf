// The downloader's skinned controls under Wine: the resource stream GDI+ decodes the sprite strips
// from, the off-screen DC, and the bitmap button's states, cells and click notices.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "fetch/button.h"
#include "fetch/memistream.h"
#include "fetch/memdc.h"
#include "fetch/resource.h"
#include "framework/gdiplusinc.h"
#include "pump.h"
#include "tests/framework/msgwindow.h"

namespace {

class GdiplusSession : public ::testing::Environment {
public:
    void SetUp() override
    {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&m_token, &input, nullptr);
    }
    void TearDown() override { Gdiplus::GdiplusShutdown(m_token); }

private:
    ULONG_PTR m_token = 0;
};
const auto* g_gdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusSession);

std::vector<char> ReadFile(const char* name)
{
    std::ifstream in(std::string(FETCH_RES_DIR) + "/" + name, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

ULONGLONG SeekTo(IStream& s, LONGLONG move, DWORD origin)
{
    LARGE_INTEGER li;
    li.QuadPart = move;
    ULARGE_INTEGER pos = {};
    EXPECT_EQ(S_OK, s.Seek(li, origin, &pos));
    return pos.QuadPart;
}

TEST(ResStream, ReadsTheResourceBytes)
{
    const std::vector<char> file = ReadFile("close.png");
    ASSERT_FALSE(file.empty());
    CResStream s(IDR_PNG_CLOSE, false);
    ASSERT_TRUE(s.IsValid());
    STATSTG st;
    ASSERT_EQ(S_OK, s.Stat(&st, STATFLAG_NONAME));
    EXPECT_EQ(STGTY_STREAM, static_cast<int>(st.type));
    EXPECT_EQ(file.size(), st.cbSize.QuadPart);  // bytes, not pixels

    std::vector<char> data(file.size() + 100);
    ULONG got = 0;
    ASSERT_EQ(S_OK, s.Read(data.data(), 100, &got));
    ASSERT_EQ(S_OK, s.Read(data.data() + 100, static_cast<ULONG>(data.size()), &got));
    EXPECT_EQ(file.size() - 100, got);
    data.resize(file.size());
    EXPECT_EQ(file, data);
    EXPECT_EQ(S_OK, s.Read(data.data(), 10, &got));
    EXPECT_EQ(0u, got);
}

TEST(ResStream, SeekClampsToTheResource)
{
    CResStream s(IDR_PNG_CANCEL, false);
    const ULONGLONG size = ReadFile("cancel.png").size();
    EXPECT_EQ(size, SeekTo(s, 0, STREAM_SEEK_END));
    EXPECT_EQ(size - 10, SeekTo(s, -10, STREAM_SEEK_END));
    EXPECT_EQ(size - 5, SeekTo(s, 5, STREAM_SEEK_CUR));
    EXPECT_EQ(size, SeekTo(s, 1000, STREAM_SEEK_CUR));
    EXPECT_EQ(0u, SeekTo(s, -5, STREAM_SEEK_SET));
    LARGE_INTEGER huge;
    huge.QuadPart = 0x100000000LL;
    EXPECT_EQ(E_NOTIMPL, s.Seek(huge, STREAM_SEEK_SET, nullptr));
}

TEST(ResStream, MissingResourceIsAnEmptyStream)
{
    CResStream s(IDR_PNG_CLOSE, true);  // there is no GIF 202
    EXPECT_FALSE(s.IsValid());
    char buf[8];
    ULONG got = 99;
    EXPECT_EQ(S_OK, s.Read(buf, sizeof(buf), &got));
    EXPECT_EQ(0u, got);
    EXPECT_EQ(0u, SeekTo(s, 50, STREAM_SEEK_SET));
    STATSTG st;
    ASSERT_EQ(S_OK, s.Stat(&st, STATFLAG_NONAME));
    EXPECT_EQ(0u, st.cbSize.QuadPart);
}

TEST(ResStream, ComSurface)
{
    CResStream s(IDR_PNG_CLOSE, false);
    void* p = nullptr;
    EXPECT_EQ(S_OK, s.QueryInterface(IID_IStream, &p));
    EXPECT_EQ(static_cast<IStream*>(&s), p);
    EXPECT_EQ(E_NOINTERFACE, s.QueryInterface(IID_IPersist, &p));
    EXPECT_EQ(1u, s.AddRef());
    EXPECT_EQ(1u, s.Release());
    ULONG written = 7;
    EXPECT_EQ(S_OK, s.Write("x", 1, &written));
    EXPECT_EQ(0u, written);
    EXPECT_EQ(E_NOTIMPL, s.Commit(0));
    EXPECT_EQ(E_NOTIMPL, s.Clone(nullptr));
}

TEST(ResStream, StripsDecodeToTheirCellSizes)
{
    CResStream close(IDR_PNG_CLOSE, false), cancel(IDR_PNG_CANCEL, false);
    Gdiplus::Bitmap a(&close), b(&cancel);
    ASSERT_EQ(Gdiplus::Ok, a.GetLastStatus());
    ASSERT_EQ(Gdiplus::Ok, b.GetLastStatus());
    EXPECT_EQ(180u, a.GetWidth());
    EXPECT_EQ(19u, a.GetHeight());
    EXPECT_EQ(332u, b.GetWidth());
    EXPECT_EQ(21u, b.GetHeight());
}

// A 32-bit DIB to draw into and read back.
struct Canvas {
    Canvas(int w, int h)
    {
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        dc = CreateCompatibleDC(nullptr);
        bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, nullptr, nullptr, 0);
        old = SelectObject(dc, bmp);
    }
    ~Canvas()
    {
        SelectObject(dc, old);
        DeleteObject(bmp);
        DeleteDC(dc);
    }
    COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
    HDC dc;
    HBITMAP bmp;
    HGDIOBJ old;
};

TEST(MemDC, PaintsOnlyItsRectangleOnClose)
{
    Canvas target(60, 40);
    RECT all = {0, 0, 60, 40};
    FillRect(target.dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    RECT part = {10, 5, 30, 25};
    {
        CMemDC mem(target.dc, &part, RGB(10, 200, 30), true);
        EXPECT_EQ(RGB(0, 0, 0), target.At(15, 10));  // nothing reaches the target before
        RECT dot = {20, 15, 22, 17};                 // logical units of the target
        FillRect(mem, &dot, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    EXPECT_EQ(RGB(10, 200, 30), target.At(10, 5));
    EXPECT_EQ(RGB(10, 200, 30), target.At(29, 24));
    EXPECT_EQ(RGB(255, 255, 255), target.At(21, 16));
    EXPECT_EQ(RGB(0, 0, 0), target.At(30, 25));
    EXPECT_EQ(RGB(0, 0, 0), target.At(9, 5));
}

TEST(MemDC, StartsWithTheTargetBackgroundColour)
{
    Canvas target(20, 20);
    SetBkColor(target.dc, RGB(1, 2, 3));
    {
        CMemDC mem(target.dc, nullptr, RGB(255, 0, 0), false);
    }
    EXPECT_EQ(RGB(1, 2, 3), target.At(0, 0));
    EXPECT_EQ(RGB(1, 2, 3), target.At(19, 19));
}

// A parent that records each WM_COMMAND, whether the mouse capture was already released, and
// whether it arrived through the queue (posted) or inside the button's call (sent).
class Parent : public CMessageWindow {
public:
    struct Notice {
        WPARAM wp;
        LPARAM lp;
        bool captureFree;
        bool posted;
    };
    std::vector<Notice> notices;
    bool inCall = false;

protected:
    BOOL ProcessWindowMessage(HWND, UINT msg, WPARAM wp, LPARAM lp, LRESULT&) override
    {
        if (msg != WM_COMMAND)
            return FALSE;
        notices.push_back({wp, lp, GetCapture() == nullptr, !inCall});
        return TRUE;
    }
};

class ButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        parent.Create(L"FetchButtonTestParent", L"", WS_POPUP, 0, nullptr, 0, 0, 200, 100);
    }
    // Creates a close-style (mode 0) or caption (mode 1) button with the given control id.
    HWND Make(CButtonEx*& b, int mode, int id)
    {
        b = mode == 0 ? new CButtonEx(45, 19, IDR_PNG_CLOSE, BMPBTN_HOVER, nullptr)
                      : new CButtonEx(83, 21, IDR_PNG_CANCEL, BMPBTN_HOVER, nullptr);
        b->SetDrawMode(mode);
        const RECT rc = {0, 0, mode == 0 ? 45 : 83, mode == 0 ? 19 : 21};
        HWND h = b->Create(parent, rc, L"", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 0, id);
        b->SetImages(0, 2, 1, 3);
        b->SetCaption(L"取消传输");
        b->SetToolTipText(L"tip");
        owned.emplace_back(b);
        return h;
    }
    LRESULT Send(HWND h, UINT msg, WPARAM wp, int x, int y)
    {
        parent.inCall = true;
        LRESULT r = SendMessageW(h, msg, wp, MAKELPARAM(x, y));
        parent.inCall = false;
        return r;
    }
    void Click(HWND h, int upX, int upY)
    {
        Send(h, WM_LBUTTONDOWN, MK_LBUTTON, 5, 5);
        Send(h, WM_MOUSEMOVE, MK_LBUTTON, upX, upY);
        Send(h, WM_LBUTTONUP, 0, upX, upY);
    }
    // The colour of the button's picture at (x, y), painted through WM_PRINTCLIENT.
    COLORREF Shown(HWND h, int x, int y)
    {
        Canvas c(83, 21);
        SendMessageW(h, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(c.dc), PRF_CLIENT);
        return c.At(x, y);
    }
    int DarkPixels(HWND h)
    {
        Canvas c(83, 21);
        SendMessageW(h, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(c.dc), PRF_CLIENT);
        int n = 0;
        for (int y = 3; y < 18; ++y)  // inside the face, away from the transparent corners
            for (int x = 10; x < 73; ++x)
                n += GetRValue(c.At(x, y)) < 100 && GetGValue(c.At(x, y)) < 100;
        return n;
    }

    Parent parent;
    std::vector<std::unique_ptr<CButtonEx>> owned;
};

// A click on IDCANCEL is posted (it may end the dialog's loop); any other id is sent at once,
// after the capture is released. Either way exactly one notice arrives.
TEST_F(ButtonTest, ClickIsSentAtOnceOrPostedForCancel)
{
    const struct {
        const char* name;
        int id;
        bool posted;
    } cases[] = {
        {"other id", 1000, false},
        {"cancel", IDCANCEL, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        parent.notices.clear();
        CButtonEx* b;
        HWND h = Make(b, 0, c.id);
        Click(h, 6, 6);
        EXPECT_EQ(c.posted ? 0u : 1u, parent.notices.size());
        Pump();
        ASSERT_EQ(1u, parent.notices.size());  // the system's own button sends no second notice
        EXPECT_EQ(c.posted, parent.notices[0].posted);
        EXPECT_TRUE(parent.notices[0].captureFree);
        EXPECT_EQ(MAKEWPARAM(c.id, BN_CLICKED), parent.notices[0].wp);
        EXPECT_EQ(reinterpret_cast<LPARAM>(h), parent.notices[0].lp);
    }
}

TEST_F(ButtonTest, ReleasingOutsideSendsNothing)
{
    CButtonEx* b;
    HWND h = Make(b, 0, 1000);
    Send(h, WM_LBUTTONDOWN, MK_LBUTTON, 5, 5);
    EXPECT_EQ(RGB(160, 10, 22), Shown(h, 2, 2));  // pushed cell
    Send(h, WM_MOUSEMOVE, MK_LBUTTON, 120, 60);
    EXPECT_EQ(RGB(206, 230, 242), Shown(h, 2, 2));  // outside: not pushed
    Send(h, WM_MOUSEMOVE, MK_LBUTTON, 7, 7);
    EXPECT_EQ(RGB(160, 10, 22), Shown(h, 2, 2));  // back inside: pushed again
    Send(h, WM_MOUSEMOVE, MK_LBUTTON, 120, 60);
    Send(h, WM_LBUTTONUP, 0, 120, 60);
    Pump();
    EXPECT_TRUE(parent.notices.empty());
    EXPECT_EQ(nullptr, GetCapture());
}

TEST_F(ButtonTest, CellsFollowHoverAndEnabledState)
{
    CButtonEx* b;
    HWND h = Make(b, 0, 1000);
    EXPECT_EQ(RGB(206, 230, 242), Shown(h, 2, 2));
    Send(h, WM_MOUSEMOVE, 0, 4, 4);
    EXPECT_EQ(RGB(232, 17, 35), Shown(h, 2, 2));
    Send(h, WM_MOUSELEAVE, 0, 0, 0);
    EXPECT_EQ(RGB(206, 230, 242), Shown(h, 2, 2));
    EnableWindow(h, FALSE);
    EXPECT_EQ(RGB(236, 240, 242), Shown(h, 2, 2));
}

TEST_F(ButtonTest, DisabledCaptionTurnsGrey)
{
    CButtonEx* b;
    HWND h = Make(b, 1, 1000);
    EXPECT_GT(DarkPixels(h), 10);  // caption in 0x2A2829
    EnableWindow(h, FALSE);
    EXPECT_EQ(0, DarkPixels(h));  // caption in 0x999999 on the grey cell
    EXPECT_EQ(RGB(230, 230, 230), Shown(h, 20, 4));
}

TEST_F(ButtonTest, SpaceIsIgnoredInHoverMode)
{
    CButtonEx* b;
    HWND h = Make(b, 0, 1000);
    Send(h, WM_KEYDOWN, VK_SPACE, 0, 0);
    Send(h, WM_KEYUP, VK_SPACE, 0, 0);
    Pump();
    EXPECT_TRUE(parent.notices.empty());
}

}  // namespace
