#pragma once
// Opening web pages in the user's own browser (help, the home page).
#include <QString>

class QWidget;

// The program of the user's default web browser, or empty when none is configured: the first
// entry of $BROWSER, else the program of the desktop entry that `xdg-settings get
// default-web-browser` names.
QString FindDefaultBrowser();

// Starts the default browser with `address`; without one, hands the address to xdg-open. When
// nothing can be started (or xdg-open reports failure) BrowserFallbackDialog shows the address
// with "Could not detect the default browser to access " + `title`. `owner` defaults to the
// application's active window.
void OpenInBrowser(const QString &address, const QString &title, QWidget *owner = nullptr);

// Runs the fallback dialog modally (also used directly by OpenInBrowser's asynchronous path).
void ShowBrowserFallback(const QString &address, const QString &title, QWidget *owner = nullptr);
