#pragma once
// Opening web pages in the user's own browser (help, the home page).
#include <QString>
#include <QStringList>

class QWidget;

// The program of the user's default web browser, or empty when none is configured: the first
// entry of $BROWSER, else the program of the desktop entry that `xdg-settings get
// default-web-browser` names.
QString FindDefaultBrowser();

// The command line of a desktop entry's Exec value for opening `address`, as the desktop entry
// format says: quoting and escapes undone, %u %U %f %F give the address, %i the icon option,
// %c the name, %k the entry's file, %% a percent sign; other codes vanish. An entry without
// an address code gets the address last. Empty for a malformed value.
QStringList ExpandDesktopExec(const QString &exec, const QString &address, const QString &name = {},
                              const QString &icon = {}, const QString &desktopFile = {});

// Starts the default browser with `address` (the $BROWSER program, else the desktop entry that
// `xdg-settings` names, asked without blocking the interface); without one, hands the address
// to xdg-open. When nothing can be started (or xdg-open reports failure) BrowserFallbackDialog
// shows the address with "Could not detect the default browser to access " + `title`. `owner`
// defaults to the application's active window.
void OpenInBrowser(const QString &address, const QString &title, QWidget *owner = nullptr);

// Runs the fallback dialog modally (also used directly by OpenInBrowser's asynchronous path).
void ShowBrowserFallback(const QString &address, const QString &title, QWidget *owner = nullptr);
