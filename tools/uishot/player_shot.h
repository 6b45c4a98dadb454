#pragma once
// uishot's player dialog: the dialog over a real file, its first picture drawn by the
// player core, grabbed from the X server and laid into the window's picture.

#include <QPainter>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

namespace platform {
class Process;
}

// An Xvfb of our own on a free display; DISPLAY points at it while it lives.
class PrivateXServer {
public:
    PrivateXServer();
    ~PrivateXServer();
    bool started() const { return started_; }

private:
    std::unique_ptr<platform::Process> process_;
    bool started_ = false;
};

// SDL on X11 with its own renderer and silent audio, Qt on X11; set before Qt starts.
void preparePlayerEnvironment();

using SaveShot = std::function<bool(QWidget& window, const std::function<void(QPainter&)>& extra)>;
// `clip` "S,E" seconds and `crop` "X,Y,W,H" video pixels may be empty. The dialog is
// then closed with its Close button; `close_playing` lets it play a second before.
bool shootPlayer(const std::string& file, const std::string& clip, const std::string& crop,
                 bool close_playing, const SaveShot& save);
