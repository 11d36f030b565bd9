#pragma once

#include "platform/Dialogs.h"
#include "platform/Shell.h"

#include <QString>
#include <QStringList>

// Answers the program's dialogs as a test sets them up, and keeps what was shown and asked.
class RecordingDialogs : public Dialogs {
public:
    void showMessage(const QString& text) override { messages << text; }
    bool askYesNo(const QString& text) override {
        questions << text;
        return yes;
    }
    QString chooseOpenFile(const QString& filter) override {
        fileFilters << filter;
        return openFileAnswer;
    }
    QString chooseFolder(const QString& title) override {
        folderTitles << title;
        return folderAnswer;
    }

    QStringList messages, questions, fileFilters, folderTitles;
    bool yes = false;
    QString openFileAnswer, folderAnswer;
};

// Keeps what the program asked the shell to open, instead of opening it.
class RecordingShell : public ShellOpen {
public:
    void open(const QString& target) override { opened << target; }
    QStringList opened;
};
