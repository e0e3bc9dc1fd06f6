#pragma once
// Points the platform's keyboard block at a test's own 256 bytes and starts the
// editor from program-load state with the main menu open and a live particle
// system built from the default settings, as start-up builds it.

#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "app/EditorState.h"
#include "app/KeyReader.h"
#include "app/Menus.h"
#include "particles/QParticleSystem.h"
#include "platform/Platform.h"

class KeyboardFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::memset(keys, 0, sizeof(keys));
        platformState.keyboardState = keys;
        lastKey = 0;
        ResetEditorState();
        settings = DefaultEmitterSettings();
        menuState = MenuState::Main;
        Vec3 origin = {0, 0, 0};
        system.emplace(&origin, settings.velocity, 7u, &settings.startColor, &settings.endColor, settings.size,
                       1000u, false, 100u);
        activeParticleSystem = &*system;
    }
    void TearDown() override
    {
        platformState.keyboardState = nullptr;
        activeParticleSystem = nullptr;
    }

    // Each scan code pressed for one frame and released for the next, as a user
    // types; false as soon as a frame's HandleMenuKey says to stop.
    bool Type(std::initializer_list<unsigned char> codes)
    {
        for (unsigned char code : codes) {
            keys[code] = 0x80;
            bool goOn = HandleMenuKey();
            keys[code] = 0;
            if (!HandleMenuKey() || !goOn)
                return false;
        }
        return true;
    }

    unsigned char keys[256];
    std::optional<QParticleSystem> system;
};
