#include "jingle_dialog.h"
#include "jingle_table_model.h"
#include "test_jingles_support.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "gui_wait.h"
#include <algorithm>
#include <memory>
#include <vector>

using namespace tavrela;
using namespace tavrela::test;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

const QString kConnectFailed = QStringLiteral("Não foi possível conectar com a base de dados");
const QString kTitle = QStringLiteral("Tavrela - Zelvo Sistemas");

std::vector<int> codes(const TfrmSelecionarVinheta& dialog) {
    std::vector<int> out;
    for (const JingleRow& row : dialog.model()->rows()) {
        out.push_back(row.codigo);
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Types `text` key by key, also characters QTest has no key for.
void typeText(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// One demo database per test process (CTest runs the cases as separate processes, and the
// embedded engine locks a database file to one process).
class JingleDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::make_unique<SharedFolder>();
        db_ = folder_->file(QStringLiteral("ZELVODB.FDB"));
        ASSERT_TRUE(createDatabase(db_, demoScript()));
    }

    // Options pointing the dialog at the test's folder.
    JingleDialogOptions options() const {
        JingleDialogOptions o;
        o.programFolder = folder_->path();
        return o;
    }

    void settingsPointAt(const QString& database) const {
        writeSettings(folder_->path(), "[BANCO]\r\nCAMINHO=" + database.toUtf8() + "\r\n");
    }

    std::unique_ptr<SharedFolder> folder_;
    QString db_;
};

TEST_F(JingleDialogTest, FilterMatchesNamesOfKindVOnly) {
    settingsPointAt(db_);
    TfrmSelecionarVinheta dialog(nullptr, options());
    dialog.FormShow();
    const std::vector<int> vinheta = {1, 2, 3, 7, 8, 10, 14, 15, 20};
    struct Case {
        QString text;
        std::vector<int> expected;
    };
    const Case cases[] = {
        // Every named row of kind V; the null name (16) and kinds C and A never appear.
        {QString(), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 20}},
        {QStringLiteral("vinheta"), vinheta},
        {QStringLiteral("VINHETA"), vinheta},
        {QStringLiteral("ViNhEtA"), vinheta},
        {QStringLiteral("Manhã"), {1}},
        {QStringLiteral("MANHÃ"), {1}},
        {QStringLiteral("manhã"), {1}},
        {QStringLiteral("D'Ávila"), {4}},
        {QStringLiteral("d'ávila"), {4}},
        // Accents and case are both ignored, in the filter and in the names.
        {QStringLiteral("noti"), {11}},
        {QStringLiteral("NOTICIAS"), {11}},
        {QStringLiteral("manha"), {1}}, // 17 is of kind C
        {QStringLiteral("d'avila"), {4}},
        {QStringLiteral("acao"), {10}},
        {QStringLiteral("promocao de verao"), {8}},
        {QStringLiteral("transito"), {12}},
        {QStringLiteral("sequência"), {9}},
        {QStringLiteral("SEQUENCIA"), {9}},
        {QStringLiteral("Notícia"), {11}},
        {QStringLiteral("nótícíás"), {11}},
        {QStringLiteral("mus"), {9, 14}},
        {QStringLiteral("'"), {4}},
        {QStringLiteral("100%"), {14}},
        {QStringLiteral("%"), {14}},
        {QStringLiteral("_"), {15}},
        {QStringLiteral("a_s"), {15}},
        {QStringLiteral("a_m"), {}}, // '_' would match the blank of "Vinheta Manhã"
        {QStringLiteral("!"), {}},   // the escape character itself
        {QStringLiteral("Comercial"), {}},
        {QStringLiteral("Abertura"), {}},
        {QStringLiteral("zzz"), {}},
        {QStringLiteral("Ж"), {}}, // not in the database's character set: no match, no error
        {QString(60, QLatin1Char('a')), {}}, // longer than the name column
    };
    for (const Case& c : cases) {
        dialog.filterEdit()->setText(c.text);
        EXPECT_THAT(codes(dialog), ElementsAreArray(c.expected)) << c.text.toStdString();
    }
    // No match: an empty grid that still shows its titles.
    dialog.filterEdit()->setText(QStringLiteral("zzz"));
    EXPECT_EQ(dialog.grid()->model()->rowCount(), 0);
    EXPECT_EQ(dialog.grid()->model()->headerData(0, Qt::Horizontal).toString(), "Nome");
    EXPECT_EQ(dialog.grid()->model()->headerData(1, Qt::Horizontal).toString(), "Tempo");
    EXPECT_FALSE(dialog.grid()->horizontalHeader()->isHidden());
}

TEST_F(JingleDialogTest, NamesOfCharacterSetNoneHoldingWindowsBytes) {
    // Older databases keep names without a character set, in the Windows code page: byte 237
    // is "í". They are searched as such, ignoring accents and case like any other.
    SharedFolder other;
    const QString db = other.file(QStringLiteral("NONE.FDB"));
    ASSERT_TRUE(createDatabase(db, QStringLiteral(R"(SET SQL DIALECT 1;
SET NAMES NONE;
CREATE DATABASE '@DB@' USER 'SYSDBA' PASSWORD 'quindorel' DEFAULT CHARACTER SET NONE;
CREATE TABLE TB_VINHETAS (VIN_CODIGO INTEGER NOT NULL, VIN_NOME VARCHAR(45), VIN_TEMPO CHAR(5),
    VIN_TIPO CHAR(1), VIN_ARQUIVO VARCHAR(256), VIN_SEGUNDOS INTEGER);
INSERT INTO TB_VINHETAS VALUES (1, 'Giro de Not' || ASCII_CHAR(237) || 'cias', '0:05', 'V',
    'noticias.mp3', 5);
INSERT INTO TB_VINHETAS VALUES (2, 'Hora Certa', '0:03', 'V', 'hora.mp3', 3);
COMMIT;
)")));
    settingsPointAt(db);
    TfrmSelecionarVinheta dialog(nullptr, options());
    dialog.FormShow();
    for (const QString& text : {QStringLiteral("noticias"), QStringLiteral("NOTÍ")}) {
        dialog.filterEdit()->setText(text);
        EXPECT_THAT(codes(dialog), ElementsAreArray({1})) << text.toStdString();
    }
    dialog.filterEdit()->setText(QStringLiteral("hora"));
    EXPECT_THAT(codes(dialog), ElementsAreArray({2}));
    ASSERT_EQ(dialog.rowCount(), 1);
}

TEST_F(JingleDialogTest, LayoutAndPaddedCharValues) {
    SharedFolder other;
    const QString db = other.file(QStringLiteral("CHAR.FDB"));
    ASSERT_TRUE(createDatabase(db, scriptHeader() + QStringLiteral(R"(
CREATE TABLE TB_VINHETAS (VIN_CODIGO INTEGER NOT NULL, VIN_NOME CHAR(45), VIN_TEMPO CHAR(5),
    VIN_TIPO CHAR(1), VIN_ARQUIVO CHAR(256), VIN_SEGUNDOS INTEGER);
INSERT INTO TB_VINHETAS VALUES (1, 'Manhã', '0:04', 'V', 'manha.mp3', 4);
COMMIT;
)")));
    settingsPointAt(db);
    TfrmSelecionarVinheta dialog(nullptr, options());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog, kWindowWaitMs));
    ASSERT_EQ(dialog.rowCount(), 1);
    const JingleRow& row = dialog.model()->rows().front();
    EXPECT_EQ(row.nome, "Manhã");
    EXPECT_EQ(row.tempo, "0:04");
    EXPECT_EQ(row.tipo, "V");
    EXPECT_EQ(dialog.chosenFile(), "manha.mp3");

    EXPECT_EQ(dialog.windowTitle(), "Selecione a vinheta para o carimbo");
    EXPECT_EQ(dialog.size(), QSize(684, 362));
    EXPECT_EQ(dialog.font().pointSizeF(), 8.0);
    EXPECT_EQ(dialog.grid()->horizontalHeader()->sectionSize(0), 568);
    EXPECT_EQ(dialog.grid()->horizontalHeader()->sectionSize(1), 80);
    EXPECT_EQ(dialog.grid()->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(dialog.grid()->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_FALSE(dialog.grid()->verticalHeader()->isHidden());
    EXPECT_EQ(dialog.filterEdit()->geometry().bottom() < 30, true);
    // The filter stretches with the window; the grid fills the rest.
    const int editWidth = dialog.filterEdit()->width();
    dialog.resize(884, 462);
    QApplication::processEvents();
    EXPECT_EQ(dialog.filterEdit()->width(), editWidth + 200);
    EXPECT_EQ(dialog.grid()->geometry().bottom(), dialog.height() - 1);
}

// Settings file present or absent, good or not: what connects, what is said, what is thrown.
TEST_F(JingleDialogTest, SettingsFileDecidesTheDatabase) {
    { // Absent: nothing is said at creation; the built-in database is used by the listing.
        MessageBoxWatcher boxes;
        JingleDialogOptions o = options();
        o.builtInDatabase = db_;
        TfrmSelecionarVinheta dialog(nullptr, o);
        EXPECT_EQ(dialog.databaseName(), db_);
        dialog.FormShow();
        EXPECT_EQ(dialog.rowCount(), 16);
        EXPECT_THAT(boxes.seen(), IsEmpty());
    }
    { // Absent, and the built-in database unreachable: the listing throws, nothing is said.
        MessageBoxWatcher boxes;
        TfrmSelecionarVinheta dialog(nullptr, options());
        EXPECT_EQ(dialog.databaseName(), "C:\\Zelvo\\Zelvo Play\\Zelvodb\\ZELVODB.FDB");
        EXPECT_THROW(dialog.FormShow(), JingleDatabaseError);
        EXPECT_THAT(boxes.seen(), IsEmpty());
    }
    { // Present, lower-case names, the path read raw.
        writeSettings(folder_->path(), "[banco]\r\ncaminho=" + db_.toUtf8() + "\r\n");
        MessageBoxWatcher boxes;
        TfrmSelecionarVinheta dialog(nullptr, options());
        EXPECT_EQ(dialog.databaseName(), db_);
        dialog.FormShow();
        EXPECT_EQ(dialog.rowCount(), 16);
        EXPECT_THAT(boxes.seen(), IsEmpty());
    }
    { // Present, database unreachable: said once; the dialog exists; the listing retries and
      // its error reaches the caller without a second message.
        const QString missing = QStringLiteral("D:\\Zelvo Play\\NADA.FDB");
        settingsPointAt(missing);
        MessageBoxWatcher boxes;
        TfrmSelecionarVinheta dialog(nullptr, options());
        ASSERT_EQ(boxes.seen().size(), 1u);
        EXPECT_EQ(boxes.seen()[0].title, kTitle);
        EXPECT_EQ(boxes.seen()[0].text, kConnectFailed);
        EXPECT_EQ(dialog.databaseName(), missing);
        try {
            dialog.exec();
            ADD_FAILURE() << "exec() did not throw";
        } catch (const JingleDatabaseError& error) {
            EXPECT_THAT(std::string(error.what()), Not(IsEmpty()));
        }
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(boxes.seen().size(), 1u);
    }
    { // Key missing: an empty database name, which cannot connect.
        writeSettings(folder_->path(), "[BANCO]\r\nOUTRA=x\r\n");
        MessageBoxWatcher boxes;
        TfrmSelecionarVinheta dialog(nullptr, options());
        EXPECT_EQ(dialog.databaseName(), QString());
        EXPECT_EQ(boxes.seen().size(), 1u);
        EXPECT_THROW(dialog.FormShow(), JingleDatabaseError);
    }
}

TEST_F(JingleDialogTest, ProgramFolderComesFromTavrelaHome) {
    settingsPointAt(db_);
    qputenv("TAVRELA_HOME", folder_->path().toUtf8());
    {
        TfrmSelecionarVinheta dialog;
        EXPECT_EQ(dialog.databaseName(), db_);
    }
    qunsetenv("TAVRELA_HOME");
}

// A fetch that fails part-way must not look like a short or empty list.
TEST_F(JingleDialogTest, FetchErrorReachesTheCaller) {
    SharedFolder other;
    const QString db = other.file(QStringLiteral("BROKEN.FDB"));
    ASSERT_TRUE(createDatabase(db, scriptHeader() + QStringLiteral(R"(
CREATE TABLE TB_VINHETAS (VIN_CODIGO INTEGER NOT NULL, VIN_NOME VARCHAR(45),
    VIN_TEMPO VARCHAR(5), VIN_TIPO CHAR(1), VIN_ARQUIVO VARCHAR(256),
    VIN_SEGUNDOS COMPUTED BY (10 / (VIN_CODIGO - 3)));
INSERT INTO TB_VINHETAS (VIN_CODIGO, VIN_NOME, VIN_TEMPO, VIN_TIPO, VIN_ARQUIVO)
    VALUES (1, 'um', '00:01', 'V', 'um.mp3');
INSERT INTO TB_VINHETAS (VIN_CODIGO, VIN_NOME, VIN_TEMPO, VIN_TIPO, VIN_ARQUIVO)
    VALUES (2, 'dois', '00:01', 'V', 'dois.mp3');
INSERT INTO TB_VINHETAS (VIN_CODIGO, VIN_NOME, VIN_TEMPO, VIN_TIPO, VIN_ARQUIVO)
    VALUES (3, 'tres', '00:01', 'V', 'tres.mp3');
INSERT INTO TB_VINHETAS (VIN_CODIGO, VIN_NOME, VIN_TEMPO, VIN_TIPO, VIN_ARQUIVO)
    VALUES (4, 'quatro', '00:01', 'V', 'quatro.mp3');
COMMIT;
)")));
    settingsPointAt(db);
    TfrmSelecionarVinheta dialog(nullptr, options());
    try {
        dialog.FormShow();
        ADD_FAILURE() << "the failed fetch was taken for a result of " << dialog.rowCount();
    } catch (const JingleDatabaseError& error) {
        EXPECT_THAT(std::string(error.what()), HasSubstr("zero"));
    }
    EXPECT_EQ(dialog.rowCount(), 0);
    // While typing, the error is shown in the dialog and the grid stays empty; a filter past
    // the bad row reconnects and lists again.
    MessageBoxWatcher boxes;
    dialog.filterEdit()->setText(QStringLiteral("t"));
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(boxes.seen()[0].title, kTitle);
    EXPECT_THAT(boxes.seen()[0].text.toStdString(), HasSubstr("zero"));
    EXPECT_EQ(dialog.rowCount(), 0);
    dialog.filterEdit()->setText(QStringLiteral("um"));
    EXPECT_EQ(dialog.rowCount(), 1);
    EXPECT_EQ(boxes.seen().size(), 1u);
}

TEST_F(JingleDialogTest, ServerModeAndWrongPassword) {
    const QString server = qEnvironmentVariable("TAVRELA_TEST_FB_SERVER");
    const QString password = qEnvironmentVariable("TAVRELA_TEST_FB_PASSWORD");
    if (server.isEmpty() || password.isEmpty()) {
        GTEST_SKIP() << "no Firebird server (TAVRELA_TEST_FB_SERVER, TAVRELA_TEST_FB_PASSWORD)";
    }
    settingsPointAt(server + QLatin1Char(':') + db_);
    {
        MessageBoxWatcher boxes;
        JingleDialogOptions o = options();
        o.password = password;
        TfrmSelecionarVinheta dialog(nullptr, o);
        EXPECT_THAT(boxes.seen(), IsEmpty());
        dialog.FormShow();
        dialog.filterEdit()->setText(QStringLiteral("D'Ávila"));
        EXPECT_THAT(codes(dialog), ElementsAreArray({4}));
    }
    { // The built-in password is not the server's: said once, then the error is thrown.
        MessageBoxWatcher boxes;
        TfrmSelecionarVinheta dialog(nullptr, options());
        EXPECT_EQ(boxes.seen().size(), 1u);
        try {
            dialog.FormShow();
            ADD_FAILURE() << "a wrong password connected";
        } catch (const JingleDatabaseError& error) {
            EXPECT_THAT(std::string(error.what()), HasSubstr("password"));
        }
    }
}

// The operator's side, through real key and mouse events.
class JingleDialogUiTest : public JingleDialogTest {
protected:
    void SetUp() override {
        JingleDialogTest::SetUp();
        settingsPointAt(db_);
        dialog_ = std::make_unique<TfrmSelecionarVinheta>(nullptr, options());
        dialog_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog_.get(), kWindowWaitMs));
        dialog_->activateWindow();
        dialog_->filterEdit()->setFocus();
        ASSERT_EQ(dialog_->rowCount(), 16);
    }

    QPoint rowCentre(int row) const {
        QTableView* grid = dialog_->grid();
        return grid->visualRect(grid->model()->index(row, 0)).center();
    }

    std::unique_ptr<TfrmSelecionarVinheta> dialog_;
};

TEST_F(JingleDialogUiTest, TypingFiltersAndEnterChooses) {
    typeText(dialog_->filterEdit(), QStringLiteral("d'ávi"));
    EXPECT_THAT(codes(*dialog_), ElementsAreArray({4}));
    QTest::keyClick(dialog_->filterEdit(), Qt::Key_Return);
    EXPECT_EQ(dialog_->result(), QDialog::Accepted);
    EXPECT_FALSE(dialog_->isVisible());
    EXPECT_EQ(dialog_->chosenFile(), "davila.mp3");
}

TEST_F(JingleDialogUiTest, ArrowKeysThenEnterInGridChooseThatRow) {
    QTest::keyClicks(dialog_->filterEdit(), QStringLiteral("vinheta"));
    QTest::keyClick(dialog_->filterEdit(), Qt::Key_Down);
    const QString second = dialog_->model()->rows()[1].arquivo;
    EXPECT_EQ(dialog_->chosenFile(), second);
    dialog_->grid()->setFocus();
    QTest::keyClick(dialog_->grid(), Qt::Key_Enter);
    EXPECT_EQ(dialog_->result(), QDialog::Accepted);
    EXPECT_EQ(dialog_->chosenFile(), second);
}

TEST_F(JingleDialogUiTest, DoubleClickChoosesTheRowUnderThePointer) {
    const QString third = dialog_->model()->rows()[2].arquivo;
    // A real double click: press, release, then the second press arrives as the double click.
    QTest::mouseClick(dialog_->grid()->viewport(), Qt::LeftButton, {}, rowCentre(2));
    QTest::mouseDClick(dialog_->grid()->viewport(), Qt::LeftButton, {}, rowCentre(2));
    EXPECT_EQ(dialog_->result(), QDialog::Accepted);
    EXPECT_FALSE(dialog_->isVisible());
    EXPECT_EQ(dialog_->chosenFile(), third);
}

TEST_F(JingleDialogUiTest, DoubleClickOnEmptyGridChoosesNothing) {
    QTest::keyClicks(dialog_->filterEdit(), QStringLiteral("zzz"));
    ASSERT_EQ(dialog_->rowCount(), 0);
    QTest::mouseClick(dialog_->grid()->viewport(), Qt::LeftButton, {}, QPoint(40, 10));
    QTest::mouseDClick(dialog_->grid()->viewport(), Qt::LeftButton, {}, QPoint(40, 10));
    QTest::keyClick(dialog_->filterEdit(), Qt::Key_Return);
    EXPECT_TRUE(dialog_->isVisible());
    EXPECT_EQ(dialog_->chosenFile(), QString());
}

TEST_F(JingleDialogUiTest, EscapeAndCloseBoxCancel) {
    QTest::keyClick(dialog_->filterEdit(), Qt::Key_Escape);
    EXPECT_FALSE(dialog_->isVisible());
    EXPECT_EQ(dialog_->result(), QDialog::Rejected);

    dialog_->setResult(-1);
    dialog_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog_.get(), kWindowWaitMs));
    dialog_->close(); // what the window's close box does
    EXPECT_EQ(dialog_->result(), QDialog::Rejected);
}

// The stamp command's interface: modal, returns the file or nothing, errors as exceptions.
TEST_F(JingleDialogTest, SelectJingleForTheCaller) {
    settingsPointAt(db_);
    // Acts once the dialog is the modal window: connecting may let events run before it is.
    auto driveDialog = [](const std::function<void(TfrmSelecionarVinheta*)>& act) {
        auto* poll = new QTimer;
        poll->setInterval(10);
        QObject::connect(poll, &QTimer::timeout, [poll, act] {
            auto* dialog = qobject_cast<TfrmSelecionarVinheta*>(QApplication::activeModalWidget());
            if (dialog == nullptr || !dialog->isVisible()) {
                return;
            }
            poll->stop();
            poll->deleteLater();
            act(dialog);
        });
        poll->start();
    };
    driveDialog([](TfrmSelecionarVinheta* d) {
        QTest::keyClicks(d->filterEdit(), QStringLiteral("hora"));
        QTest::keyClick(d->filterEdit(), Qt::Key_Return);
    });
    EXPECT_EQ(selectJingle(options()), std::optional<QString>(QStringLiteral("horacerta.mp3")));

    driveDialog([](TfrmSelecionarVinheta* d) { d->close(); });
    EXPECT_EQ(selectJingle(options()), std::nullopt);

    // No settings file, and the built-in database is not reachable from here.
    QFile::remove(QDir(folder_->path()).filePath(QStringLiteral("BaseZelvo.ini")));
    EXPECT_THROW(selectJingle(options()), JingleDatabaseError);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// A server that accepts the connection and never answers: the dialog gives up after its short
// timeout with the message and the reason, the interface goes on meanwhile, and the dialog
// neither asks again nor appears.
TEST_F(JingleDialogTest, AServerThatNeverAnswersTimesOutWithTheInterfaceAlive) {
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    int connections = 0;
    QObject::connect(&silent, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* peer = silent.nextPendingConnection()) {
            ++connections;
            peer->setParent(&silent); // kept open, never answered
        }
    });
    settingsPointAt(QStringLiteral("127.0.0.1/%1:/srv/never.fdb").arg(silent.serverPort()));
    int ticks = 0;
    QTimer ticking;
    QObject::connect(&ticking, &QTimer::timeout, [&] { ++ticks; });
    ticking.start(50);
    MessageBoxWatcher boxes;
    TfrmSelecionarVinheta dialog(nullptr, options());
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(boxes.seen()[0].text, kConnectFailed);
    EXPECT_GT(ticks, 10) << "the interface stood still while connecting";
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(boxes.seen().size(), 1u);
    QCoreApplication::processEvents();
    EXPECT_EQ(connections, 1) << "the timed-out connection was tried again";
}

} // namespace
