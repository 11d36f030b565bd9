#pragma once

// The main window's links: each hands one address or document to the shell.
class Links {
public:
    virtual ~Links() = default;
    virtual void openHomePage() = 0;
    virtual void openTweakGuide() = 0;
    virtual void openHelpFile() = 0;
};
