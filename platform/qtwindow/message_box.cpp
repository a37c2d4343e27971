#include "platform/qtwindow/message_box.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QMessageBox>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/qtwindow/seams.h"
#include "platform/qtwindow/window.h"

namespace qtwindow {

namespace {

struct Boxes {
    bool intercepting = false;
    std::function<int(const ShownMessageBox &)> answer;
    std::vector<ShownMessageBox> shown;
    bool answering = false;
    std::vector<QMessageBox *> waiting;
};

} // namespace

static Boxes &boxes()
{
    static Boxes state;
    return state;
}

void intercept_message_boxes(std::function<int(const ShownMessageBox &)> answer)
{
    boxes().intercepting = true;
    boxes().answer = std::move(answer);
}

const std::vector<ShownMessageBox> &message_boxes() { return boxes().shown; }

void forget_message_boxes() { boxes() = {}; }

void answer_message_boxes()
{
    boxes().answering = true;
    for (QMessageBox *box : boxes().waiting)
        box->done(QMessageBox::Ok);
}

} // namespace qtwindow

using namespace qtwindow;

// Only the OK button is provided, the one MB_OK asks for. While the box is up, the program's
// timers and repaints wait for it to be answered.
int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType)
{
    // Windows' caption when none is given.
    const std::wstring caption = lpCaption == nullptr ? L"Error" : lpCaption;
    const std::wstring text = lpText == nullptr ? L"" : lpText;
    if (boxes().intercepting) {
        const ShownMessageBox box{hWnd, caption, text, uType};
        boxes().shown.push_back(box);
        return boxes().answer ? boxes().answer(box) : IDOK;
    }
    // Offscreen nobody could see the box or answer it, and after a request to end nobody is there
    // to: it counts as answered.
    if (QGuiApplication::platformName() == QLatin1String("offscreen") || boxes().answering)
        return IDOK;
    const Window *owner = find_window(hWnd);
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdWString(caption), QString::fromStdWString(text),
                    QMessageBox::Ok, owner == nullptr ? nullptr : owner->widget().window());
    box.setWindowModality(Qt::ApplicationModal);
    QEventLoop answered;
    QObject::connect(&box, &QDialog::finished, &answered, &QEventLoop::quit);
    boxes().waiting.push_back(&box);
    box.show();
    // A request to end heard while the box was coming up has answered it already, before its
    // loop could be told to stop.
    if (!boxes().answering)
        answered.exec();
    std::erase(boxes().waiting, &box);
    return IDOK;
}
