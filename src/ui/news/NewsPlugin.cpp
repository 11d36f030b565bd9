#include "ui/news/NewsPlugin.h"

#include "ui/news/TForm5.h"

NewsWindow* NewsPlugin::MakeNewsWindow() {
    return new TForm5();
}
