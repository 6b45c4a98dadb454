// The core draws into a window it is handed by native id (as the clip dialog does),
// here a plain X11 window on a private Xvfb display.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>

#include "platform/process.h"
#include "running_player.h"
#include "test_support.h"

// Last: Xlib defines macros (None, Status...) that clash with ordinary names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

using namespace player_test;

// SDL loads and unloads its X11 helper libraries itself; what they keep is reported
// from an unloaded module that no suppression can name. The core's own leaks are
// checked by the dummy-driver tests, so this binary alone skips the leak check.
extern "C" const char* __lsan_default_options() {
    return "detect_leaks=0";
}

namespace {

// A private X server for one test, on the first free display number from 140.
class Xvfb {
public:
    Xvfb() {
        for (int n = 140 + getpid() % 40; n < 240; ++n) {
            if (fs::exists("/tmp/.X11-unix/X" + std::to_string(n)) ||
                fs::exists("/tmp/.X" + std::to_string(n) + "-lock")) {
                continue;
            }
            platform::CommandLine cmd("Xvfb");
            cmd.args({":" + std::to_string(n), "-screen", "0", "1280x720x24", "-nolisten", "tcp"});
            process_ = platform::Process::start(cmd);
            if (!process_) {
                return;
            }
            if (waitUntil([&] { return fs::exists("/tmp/.X11-unix/X" + std::to_string(n)); }, 5s)) {
                name_ = ":" + std::to_string(n);
                return;
            }
            process_.reset();
        }
    }
    const std::string& name() const { return name_; }

private:
    std::unique_ptr<platform::Process> process_;
    std::string name_;
};

}  // namespace

TEST(HostWindow, PicturesFillTheHostWindowFollowItsSizeAndStayUpright) {
    ASSERT_TRUE(fs::exists("/usr/bin/Xvfb")) << "xvfb comes with scripts/quorin's install";
    testsupport::TempDir dir;
    const fs::path clip = dir / "clip.mp4";
    ASSERT_TRUE(testsupport::makeClip(clip, 4, true, true,
                                      {"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p"}));
    Xvfb x;
    ASSERT_FALSE(x.name().empty());
    testsupport::ScopedEnv display("DISPLAY", x.name());
    testsupport::ScopedEnv driver("SDL_VIDEODRIVER", "x11");
    // SDL's own renderer: Mesa's OpenGL threads are slow under the sanitizers and keep
    // allocations past their unloading, which LeakSanitizer cannot attribute.
    testsupport::ScopedEnv renderer("SDL_RENDER_DRIVER", "software");

    Display* dpy = XOpenDisplay(x.name().c_str());
    ASSERT_NE(dpy, nullptr);
    const unsigned long green = 0x00FF00;
    const Window win = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 10, 10, 400, 300, 0, 0, green);
    XMapWindow(dpy, win);
    XSync(dpy, False);
    {
        RunningPlayer p(clip, 0, nullptr, win);
        ASSERT_TRUE(waitUntil([&] { return p.counters().shown >= 10; }, 10s));
        XSync(dpy, False);
        XImage* img = XGetImage(dpy, win, 0, 0, 400, 300, AllPlanes, ZPixmap);
        ASSERT_NE(img, nullptr);
        // A 4:3 picture fills the 4:3 window: no background shows, and the picture is
        // not black.
        int background = 0, black = 0;
        for (int y = 0; y < 300; y += 3) {
            for (int x = 0; x < 400; x += 3) {
                const unsigned long px = XGetPixel(img, x, y) & 0xFFFFFF;
                background += px == green;
                black += px == 0;
            }
        }
        XDestroyImage(img);
        const int samples = 100 * 134;
        EXPECT_LT(background, samples / 50);
        EXPECT_LT(black, samples / 2);

        XWindowAttributes attrs;
        XGetWindowAttributes(dpy, win, &attrs);
        EXPECT_EQ(attrs.width, 400);
        EXPECT_EQ(attrs.height, 300);

        // The host resizes its window: the picture follows, centred with black bars.
        XResizeWindow(dpy, win, 640, 360);
        XSync(dpy, False);
        const std::int64_t shown = p.counters().shown;
        ASSERT_TRUE(waitUntil([&] { return p.counters().shown >= shown + 10; }, 10s));
        XSync(dpy, False);
        img = XGetImage(dpy, win, 0, 0, 640, 360, AllPlanes, ZPixmap);
        ASSERT_NE(img, nullptr);
        EXPECT_EQ(XGetPixel(img, 20, 180) & 0xFFFFFF, 0u);   // left bar (picture is 480 wide)
        EXPECT_EQ(XGetPixel(img, 620, 180) & 0xFFFFFF, 0u);  // right bar
        int lit = 0;
        for (int x = 90; x < 550; x += 5) {
            lit += (XGetPixel(img, x, 180) & 0xFFFFFF) != 0;
        }
        EXPECT_GT(lit, 46);
        XDestroyImage(img);
        EXPECT_EQ(p.quit() < 5.0, true);
        EXPECT_EQ(p.result(), 0);
    }

    // A bottom-up picture is shown upright. ffmpeg writes raw BGR into AVI top-down
    // (negative height); making the height positive turns the same rows into a
    // bottom-up picture, which decodes with negative line sizes: red on top now.
    const fs::path flip = dir / "bottom_up.avi";
    ASSERT_TRUE(
        ffmpeg({"-f", "lavfi", "-i", "color=c=red:s=160x120:d=3,drawbox=x=0:y=0:w=160:h=60:color=blue:t=fill",
                "-c:v", "rawvideo", "-pix_fmt", "bgr24", flip.string()}));
    {
        std::string avi = testsupport::readFile(flip);
        const std::size_t strf = avi.find("strf", avi.find("vids"));
        ASSERT_NE(strf, std::string::npos);
        std::int32_t height;
        std::memcpy(&height, avi.data() + strf + 16, 4);
        ASSERT_EQ(height, -120);
        height = 120;
        std::memcpy(avi.data() + strf + 16, &height, 4);
        testsupport::writeFile(flip, avi);
    }
    XResizeWindow(dpy, win, 400, 300);
    XSync(dpy, False);
    {
        RunningPlayer p(flip, 0, nullptr, win);
        ASSERT_TRUE(waitUntil([&] { return p.counters().shown >= 5; }, 10s));
        std::this_thread::sleep_for(200ms);
        XSync(dpy, False);
        XImage* img = XGetImage(dpy, win, 0, 0, 400, 300, AllPlanes, ZPixmap);
        ASSERT_NE(img, nullptr);
        const auto red = [&](int x, int y) { return (XGetPixel(img, x, y) >> 16) & 0xFF; };
        const auto blue = [&](int x, int y) { return XGetPixel(img, x, y) & 0xFF; };
        EXPECT_GT(red(200, 40), 200u);
        EXPECT_LT(blue(200, 40), 50u);
        EXPECT_GT(blue(200, 260), 200u);
        EXPECT_LT(red(200, 260), 50u);
        XDestroyImage(img);
    }
    XDestroyWindow(dpy, win);
    XCloseDisplay(dpy);
}
