#pragma once

#include "ui/NewsWindow.h"

#include <QObject>

// The news plugin's root object: it makes news windows.
class NewsPlugin : public QObject, public NewsWindowMaker {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID NewsWindowMaker_iid)
    Q_INTERFACES(NewsWindowMaker)
public:
    NewsWindow* MakeNewsWindow() override;
};
