#include "editor_conventions.h"

#include <app/jingles/app_style.h>
#include <display/silent_abort.h>

#include <QApplication>

#include <cstdio>
#include <utility>

namespace tavrela {

namespace {
MessagePresenter& Presenter() {
    static MessagePresenter presenter;
    return presenter;
}
} // namespace

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
