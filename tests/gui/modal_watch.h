#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <memory>

// Acts on the next modal window of type W as soon as it is open (the code under test runs its own
// event loop for it): `act` looks at it and closes it. Watches for a minute at most, so that a
// window that never came cannot be taken for a later test's; the returned flag tells whether it came.
template <typename W> std::shared_ptr<bool> whenModalOpens(const std::function<void(W&)>& act)
{
    auto came = std::make_shared<bool>(false);
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, came, act] {
        auto* window = qobject_cast<W*>(QApplication::activeModalWidget());
        if (window == nullptr || !window->isVisible()) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        *came = true;
        act(*window);
    });
    timer->start();
    QTimer::singleShot(60000, timer, [timer] { timer->deleteLater(); });
    return came;
}

// The text of the next message box, which is answered with `answer`.
inline std::shared_ptr<QString> answerNextMessageBox(QMessageBox::StandardButton answer = QMessageBox::Ok)
{
    auto text = std::make_shared<QString>();
    whenModalOpens<QMessageBox>([text, answer](QMessageBox& box) {
        *text = box.text();
        box.button(answer)->click();
    });
    return text;
}
