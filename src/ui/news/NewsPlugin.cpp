#include "ui/news/NewsPlugin.h"

#include "ui/news/WebNewsWindow.h"

NewsWindow* NewsPlugin::MakeNewsWindow() {
    return new WebNewsWindow();
}
