#pragma once
// The program's QApplication. Qt merges a posted layout request with one already
// waiting for the same widget by walking the thread's whole posted-event queue. Every
// new widget posts a polish request and every new layout a layout request, so a list
// that makes many rows without returning to the event loop paid for each row with a
// walk over the requests of all rows before it (1,000 rows took seconds). A layout
// request is posted only once per activation of a layout anyway, so a rare duplicate
// is delivered instead (it finds the layout done and costs nothing).

#include <QApplication>

namespace ui {

class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);

protected:
    bool compressEvent(QEvent* event, QObject* receiver, QPostEventList* posted) override;
};

}  // namespace ui
