#pragma once

#include <QObject>
#include <QStringList>

// Answers org.freedesktop.FileManager1 as a file manager does, noting what it was asked to show. Register it
// on a private bus under that name and at /org/freedesktop/FileManager1, exporting all slots.
class FakeFileManager : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList items;
    QStringList folders;

public Q_SLOTS:
    void ShowItems(const QStringList &uris, const QString &) { items << uris; }
    void ShowFolders(const QStringList &uris, const QString &) { folders << uris; }
};
