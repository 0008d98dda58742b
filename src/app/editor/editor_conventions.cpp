#include "editor_conventions.h"

#include <app/jingles/app_style.h>
#include <display/silent_abort.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <cstdio>
#include <utility>

namespace tavrela {

namespace {
MessagePresenter& Presenter() {
    static MessagePresenter presenter;
    return presenter;
}
QuestionPresenter& Questioner() {
    static QuestionPresenter presenter;
    return presenter;
}
} // namespace

bool AskYesNo(const QString& text) {
    if (Questioner()) {
        return Questioner()(text);
    }
    QMessageBox box(QMessageBox::Question, kApplicationTitle, text, QMessageBox::NoButton,
                    QApplication::activeWindow());
    QPushButton* yes = box.addButton(QStringLiteral("Sim"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("Não"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void SetQuestionPresenter(QuestionPresenter presenter) {
    Questioner() = std::move(presenter);
}

void ShowMessage(const QString& text) {
    std::fprintf(stderr, "tavrela: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
    if (Presenter()) {
        Presenter()(text);
        return;
    }
    showMessage(QApplication::activeWindow(), text);
}

void SetMessagePresenter(MessagePresenter presenter) {
    Presenter() = std::move(presenter);
}

QString ExceptionText(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Erro desconhecido.");
    }
}

bool RunGuarded(const std::function<void()>& command) {
    try {
        command();
        return true;
    } catch (const ESilentAbort&) {
        return false;
    } catch (...) {
        ShowMessage(ExceptionText(std::current_exception()));
        return false;
    }
}

} // namespace tavrela
