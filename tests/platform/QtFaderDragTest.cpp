// Drags between fader select buttons: which drags a button takes, and when a
// press turns into one.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QObject>

#include "platform/QtFaderDrag.h"
#include "tests/support/QtWidgetApp.h"

namespace morvelant {
namespace {

TEST(FaderDrag, OnlyASelectButtonsOwnFaderIsTaken) {
    QObject button3;
    button3.setObjectName(QStringLiteral("FaderSelect3"));
    QObject field;
    field.setObjectName(QStringLiteral("Edit3"));
    struct Row {
        const char* what;
        const char* data;  // nullptr: no fader data at all
        const QObject* source;
        int fader;
    } rows[] = {
        {"its own button", "2", &button3, 2},        {"another program (no source)", "2", nullptr, -1},
        {"a name field", "2", &field, -1},           {"a number that is not the button's", "5", &button3, -1},
        {"past the last fader", "24", &button3, -1}, {"negative", "-1", &button3, -1},
        {"not a number", "two", &button3, -1},       {"no fader data", nullptr, &button3, -1},
    };
    for (const Row& r : rows) {
        QMimeData mime;
        if (r.data)
            mime.setData(kFaderDragMime, r.data);
        else
            mime.setText(QStringLiteral("2"));
        EXPECT_EQ(DraggedFader(&mime, r.source, 24), r.fader) << r.what;
    }
}

bool MoveStarts(FaderDragGesture& g, int fader, QPointF at, Qt::MouseButtons held) {
    QMouseEvent move(QEvent::MouseMove, at, at, Qt::NoButton, held, Qt::NoModifier);
    return g.Starts(fader, &move);
}

TEST(FaderDrag, APressBecomesADragOnlyWhenOfferedAndMovedFarEnough) {
    testsupport::WidgetApp(true);
    const QPointF at(10, 10);
    const QPointF far(10 + QApplication::startDragDistance(), 10);
    QMouseEvent press(QEvent::MouseButtonPress, at, at, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    FaderDragGesture g;
    g.Press(&press);
    EXPECT_FALSE(MoveStarts(g, 4, far, Qt::LeftButton)) << "not offered";
    g.Offer(4);
    EXPECT_FALSE(MoveStarts(g, 4, QPointF(11, 10), Qt::LeftButton)) << "too near";
    EXPECT_FALSE(MoveStarts(g, 5, far, Qt::LeftButton)) << "another button";
    EXPECT_FALSE(MoveStarts(g, 4, far, Qt::NoButton)) << "button up";
    EXPECT_TRUE(MoveStarts(g, 4, far, Qt::LeftButton));
    EXPECT_FALSE(MoveStarts(g, 4, far, Qt::LeftButton)) << "only once";
    g.Offer(4);
    g.Release();
    EXPECT_FALSE(MoveStarts(g, 4, far, Qt::LeftButton)) << "released";
}

}  // namespace
}  // namespace morvelant
