// Jingle dialog on a 10 000-row embedded database: median time from a keystroke in the filter
// to the grid painted with the filtered rows, against the floor of the bare query (execute and
// fetch every column of every row) on the same connection for the same filters.

#include "jingle_dialog.h"
#include "jingle_query.h"
#include "test_jingles_isql.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRows = 10000;
constexpr int kRounds = 3;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

bool createDatabase(const QString& folder, QString* dbPath) {
    *dbPath = QDir(folder).filePath(QStringLiteral("ZELVODB.FDB"));
    const QString script = QStringLiteral(R"(SET SQL DIALECT 1;
SET NAMES UTF8;
CREATE DATABASE '@DB@' USER 'SYSDBA' PASSWORD 'quindorel' DEFAULT CHARACTER SET WIN1252;
CREATE TABLE TB_VINHETAS (VIN_CODIGO INTEGER NOT NULL PRIMARY KEY, VIN_NOME VARCHAR(45),
    VIN_TEMPO VARCHAR(5), VIN_TIPO CHAR(1), VIN_ARQUIVO VARCHAR(256), VIN_SEGUNDOS INTEGER);
COMMIT;
SET TERM ^;
EXECUTE BLOCK AS
DECLARE I INTEGER = 1;
BEGIN
  WHILE (I <= %1) DO
  BEGIN
    INSERT INTO TB_VINHETAS VALUES (:I,
      CASE MOD(:I, 4) WHEN 0 THEN 'Vinheta Manhã ' WHEN 1 THEN 'Chamada Esportes '
                      WHEN 2 THEN 'Vinheta Promoção ' ELSE 'Hora Certa ' END || :I,
      '00:0' || MOD(:I, 10), CASE WHEN MOD(:I, 10) = 0 THEN 'C' ELSE 'V' END,
      'vinheta' || :I || '.mp3', MOD(:I, 10));
    I = I + 1;
  END
END^
SET TERM ;^
COMMIT;
)")
                               .arg(kRows);
    QString output;
    if (!tavrela::test::createDatabaseFromScript(*dbPath, script, &output)) {
        std::fprintf(stderr, "isql-fb failed: %s\n", qPrintable(output));
        return false;
    }
    return true;
}

// Keystrokes: type a word, then erase it, so result sizes range from all rows to a few.
std::vector<QString> filterSequence() {
    const QString word = QStringLiteral("vinheta manhã 1");
    std::vector<QString> texts;
    for (int i = 1; i <= word.size(); ++i) {
        texts.push_back(word.left(i));
    }
    for (int i = word.size() - 1; i >= 0; --i) {
        texts.push_back(word.left(i));
    }
    return texts;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QString dbPath;
    if (!dir.isValid() || !createDatabase(dir.path(), &dbPath)) {
        return 1;
    }
    QFile ini(QDir(dir.path()).filePath(QStringLiteral("BaseZelvo.ini")));
    if (!ini.open(QIODevice::WriteOnly)) {
        return 1;
    }
    ini.write("[BANCO]\r\nCAMINHO=" + dbPath.toUtf8() + "\r\n");
    ini.close();

    tavrela::JingleDialogOptions options;
    options.programFolder = dir.path();
    tavrela::TfrmSelecionarVinheta dialog(nullptr, options);
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog) || dialog.rowCount() == 0) {
        std::fprintf(stderr, "the dialog did not list the jingles\n");
        return 1;
    }
    const int allRows = dialog.rowCount();
    QLineEdit* edit = dialog.filterEdit();
    edit->setFocus();
    const std::vector<QString> texts = filterSequence();

    std::vector<double> filterMs;
    QElapsedTimer timer;
    for (int round = 0; round < kRounds; ++round) {
        for (const QString& text : texts) {
            timer.start();
            // One keystroke: a typed character, or a backspace when the text got shorter.
            if (text.size() > edit->text().size()) {
                QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, text.back(),
                                    Qt::NoModifier);
            } else {
                QTest::keyClick(edit, Qt::Key_Backspace);
            }
            dialog.grid()->viewport()->repaint();
            dialog.grid()->verticalHeader()->viewport()->repaint();
            filterMs.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            if (edit->text() != text) {
                std::fprintf(stderr, "keystroke gave \"%s\"\n", qPrintable(edit->text()));
                return 1;
            }
        }
    }

    QSqlDatabase db = QSqlDatabase::database(dialog.connectionName(), false);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(tavrela::kJingleQuerySql)) {
        std::fprintf(stderr, "prepare: %s\n", qPrintable(query.lastError().text()));
        return 1;
    }
    std::vector<double> queryMs;
    for (int round = 0; round < kRounds; ++round) {
        for (const QString& text : texts) {
            timer.start();
            query.bindValue(0, tavrela::jingleNamePattern(text));
            if (!query.exec()) {
                std::fprintf(stderr, "exec: %s\n", qPrintable(query.lastError().text()));
                return 1;
            }
            const int columns = query.record().count();
            qsizetype chars = 0;
            while (query.next()) {
                for (int c = 0; c < columns; ++c) {
                    chars += query.value(c).toString().size();
                }
            }
            query.finish();
            queryMs.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            if (chars < 0) {
                return 1;
            }
        }
    }

    const double filter = median(filterMs);
    const double floor = median(queryMs);
    std::printf("rows: %d rows\n", kRows);
    std::printf("listed_rows: %d rows\n", allRows);
    std::printf("keystrokes: %zu count\n", filterMs.size());
    std::printf("filter_ms: %.2f ms\n", filter);
    std::printf("query_ms: %.2f ms\n", floor);
    std::printf("filter_vs_query: %.2f x\n", floor > 0 ? filter / floor : 0.0);
    return 0;
}
