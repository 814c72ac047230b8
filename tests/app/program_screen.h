// The program's own opening path, for tests that draw real frames into a real screen.
#pragma once

#include "runtime/screen/frame_presentation.h"
#include "runtime/screen/screen_library.h"
#include "runtime/screen/windowed_screen.h"
#include "runtime/window/window.h"
#include "runtime_fixture.h"

#include <stdint.h>

class ProgramScreen : public RuntimeTest {
  protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        ASSERT_TRUE(StartScreenLibrary());
        ASSERT_TRUE(OpenAppWindow(0, 0, 0, 640, 480, "Ulvo", 0xCA0001));
        ASSERT_TRUE(OpenScreenInWindow(WindowHandleOf(0), 0, 0, 640, 480, 0, 0, 0));
    }

    // Reads the back buffer's pixels (X8R8G8B8) into out, 640 x 480, without the unused byte.
    static bool ReadBackBuffer(uint32_t* out) {
        D3DLOCKED_RECT locked;
        if (FAILED(Screen.backBuffer->LockRect(&locked, nullptr, D3DLOCK_READONLY)))
            return false;
        for (int y = 0; y < 480; ++y) {
            auto* row = reinterpret_cast<const uint32_t*>(static_cast<const char*>(locked.pBits) +
                                                          y * locked.Pitch);
            for (int x = 0; x < 640; ++x)
                out[y * 640 + x] = row[x] & 0xFFFFFF;
        }
        Screen.backBuffer->UnlockRect();
        return true;
    }
};
