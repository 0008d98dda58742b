#include "jingle_dialog.h"

#include "app_style.h"
#include "jingle_query.h"
#include "jingle_table_model.h"
#include "program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableView>
#include <QVBoxLayout>

namespace tavrela {
namespace {

const QString kCaption = QStringLiteral("Selecione a vinheta para o carimbo");
const QString kConnectFailed = QStringLiteral("Não foi possível conectar com a base de dados");
constexpr int kClientWidth = 684;
constexpr int kClientHeight = 362;
constexpr int kStripHeight = 30;
constexpr int kNomeWidth = 568;
constexpr int kTempoWidth = 80;
constexpr int kIndicatorWidth = 12;

// CHAR columns come back padded with blanks to their declared length.
QString withoutPadding(const QVariant& value) {
    QString text = value.toString();
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == QLatin1Char(' ')) {
        --end;
    }
    text.truncate(end);
    return text;
}

// The grid's row indicator: a narrow header marking the current row with a triangle.
class RowIndicatorHeader : public QHeaderView {
public:
    explicit RowIndicatorHeader(QTableView* view) : QHeaderView(Qt::Vertical, view), view_(view) {
        setSectionResizeMode(QHeaderView::Fixed);
        setSectionsClickable(false);
    }

    QSize sizeHint() const override { return {kIndicatorWidth, QHeaderView::sizeHint().height()}; }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
        painter->save();
        QHeaderView::paintSection(painter, rect, logicalIndex);
        painter->restore();
        const QModelIndex current = view_->currentIndex();
        if (!current.isValid() || current.row() != logicalIndex) {
            return;
        }
        const qreal half = 3.5;
        const QPointF centre = QRectF(rect).center();
        QPainterPath arrow;
        arrow.moveTo(centre.x() - half / 2, centre.y() - half);
        arrow.lineTo(centre.x() + half, centre.y());
        arrow.lineTo(centre.x() - half / 2, centre.y() + half);
        arrow.closeSubpath();
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->fillPath(arrow, palette().color(QPalette::ButtonText));
        painter->restore();
    }

private:
    QTableView* view_;
};

// A filter with a character the name column's character set lacks (pasted Cyrillic in a
// WIN1252 database) fails to convert when the server compares; no name can contain it, so the
// answer is an empty list, not an error. Firebird reports it only by this fixed message.
bool cannotBeStoredInNames(const QSqlError& error) {
    return error.databaseText().contains(QLatin1String("Cannot transliterate character"));
}

// Executes the prepared jingle query and fetches every row; throws JingleDatabaseError.
std::vector<JingleRow> runJingleQuery(QSqlQuery& query, const QString& pattern) {
    std::vector<JingleRow> rows;
    query.bindValue(0, pattern);
    bool ok = query.exec();
    if (ok) {
        const QSqlRecord record = query.record();
        const int codigo = record.indexOf(QStringLiteral("VIN_CODIGO"));
        const int nome = record.indexOf(QStringLiteral("VIN_NOME"));
        const int tempo = record.indexOf(QStringLiteral("VIN_TEMPO"));
        const int tipo = record.indexOf(QStringLiteral("VIN_TIPO"));
        const int arquivo = record.indexOf(QStringLiteral("VIN_ARQUIVO"));
        const int segundos = record.indexOf(QStringLiteral("VIN_SEGUNDOS"));
        auto text = [&query](int column) {
            return column < 0 ? QString() : withoutPadding(query.value(column));
        };
        while (query.next()) {
            JingleRow row;
            row.codigo = codigo < 0 ? 0 : query.value(codigo).toInt();
            row.nome = text(nome);
            row.tempo = text(tempo);
            row.tipo = text(tipo);
            row.arquivo = text(arquivo);
            row.segundos = segundos < 0 ? QVariant() : query.value(segundos);
            rows.push_back(std::move(row));
        }
        // A failed fetch ends the loop just like the last row does.
        ok = !query.lastError().isValid();
    }
    if (!ok) {
        const QSqlError error = query.lastError();
        if (cannotBeStoredInNames(error)) {
            return {};
        }
        // Names of character set NONE that are no UTF8: read them as WIN1252 from now on.
        if (error.databaseText().contains(QLatin1String("Malformed string")) &&
            query.lastQuery() != kJingleQueryWin1252BytesSql &&
            query.prepare(kJingleQueryWin1252BytesSql)) {
            return runJingleQuery(query, pattern);
        }
        throw JingleDatabaseError(error);
    }
    query.finish();
    return rows;
}

bool isEnterKey(const QKeyEvent* key) {
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

} // namespace

TfrmSelecionarVinheta::TfrmSelecionarVinheta(QWidget* parent, JingleDialogOptions options)
    : QDialog(parent), options_(std::move(options)),
      Db_Zelvo(options_.userName, options_.password) {
    setWindowTitle(kCaption);
    setFont(uiFont(8));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* strip = new QWidget(this);
    strip->setFixedHeight(kStripHeight);
    auto* stripLayout = new QHBoxLayout(strip);
    stripLayout->setContentsMargins(8, 4, 8, 4);
    stripLayout->setSpacing(6);
    auto* label = new QLabel(QStringLiteral("Vinheta:"), strip);
    edtVinheta = new QLineEdit(strip);
    edtVinheta->setObjectName(QStringLiteral("edtVinheta"));
    edtVinheta->setMaxLength(kMaxJingleFilterLength);
    label->setBuddy(edtVinheta);
    stripLayout->addWidget(label);
    stripLayout->addWidget(edtVinheta, 1);
    layout->addWidget(strip);

    Ds_Vinhetas = new JingleTableModel(this);
    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setVerticalHeader(new RowIndicatorHeader(DBGrid1));
    DBGrid1->setModel(Ds_Vinhetas);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setTabKeyNavigation(false);
    DBGrid1->setWordWrap(false);
    DBGrid1->verticalHeader()->setDefaultSectionSize(DBGrid1->fontMetrics().height() + 4);
    QHeaderView* titles = DBGrid1->horizontalHeader();
    titles->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    titles->setHighlightSections(false);
    titles->setStretchLastSection(false);
    titles->setSectionResizeMode(QHeaderView::Interactive);
    titles->resizeSection(JingleTableModel::NomeColumn, kNomeWidth);
    titles->resizeSection(JingleTableModel::TempoColumn, kTempoWidth);
    layout->addWidget(DBGrid1, 1);

    resize(kClientWidth, kClientHeight);
    setTabOrder(edtVinheta, DBGrid1);
    edtVinheta->setFocus();

    connect(edtVinheta, &QLineEdit::textChanged, this,
            &TfrmSelecionarVinheta::filterChangedByOperator);
    connect(DBGrid1, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        // Only a double click on a row chooses; the blank area below the rows does nothing.
        if (index.isValid()) {
            DBGrid1->setCurrentIndex(index);
            DBGrid1DblClick();
        }
    });
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { DBGrid1->verticalHeader()->viewport()->update(); });
    edtVinheta->installEventFilter(this);
    DBGrid1->installEventFilter(this);

    Db_Zelvo.setDatabaseName(options_.builtInDatabase);
    FormCreate();
}

TfrmSelecionarVinheta::~TfrmSelecionarVinheta() {
    closeDatabase();
}

void TfrmSelecionarVinheta::FormCreate() {
    const QString folder =
        options_.programFolder.isEmpty() ? programFolder() : options_.programFolder;
    const std::optional<QString> database =
        readJingleDatabaseSetting(QDir(folder).filePath(kSettingsFileName));
    if (!database) {
        // The built-in database is tried when the list is first opened.
        return;
    }
    Db_Zelvo.setDatabaseName(*database);
    try {
        Db_Zelvo.openWithTimeout();
    } catch (const JingleConnectCancelled&) {
        abandoned_ = true; // the operator gave up: the dialog does not appear
    } catch (const JingleDatabaseError& error) {
        // The dialog still opens; its first query tries again and reports the error itself,
        // unless the database did not answer at all: asking again would only wait again.
        abandoned_ = error.timedOut();
        showMessage(parentWidget(), kConnectFailed, error.message());
    }
}

void TfrmSelecionarVinheta::FormShow() {
    edtVinhetaChange();
    listed_ = true;
}

int TfrmSelecionarVinheta::exec() {
    if (abandoned_) {
        return QDialog::Rejected;
    }
    if (!listed_) {
        try {
            FormShow();
        } catch (const JingleConnectCancelled&) {
            return QDialog::Rejected;
        }
    }
    return QDialog::exec();
}

void TfrmSelecionarVinheta::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (listed_) {
        return;
    }
    // Shown without exec(): there is no caller to hand the error to.
    listed_ = true;
    try {
        if (abandoned_) {
            SilentlyReject();
            return;
        }
        FormShow();
    } catch (const JingleConnectCancelled&) {
        SilentlyReject();
    } catch (const JingleDatabaseError& error) {
        showMessage(this, error.message());
        SilentlyReject();
    }
}

void TfrmSelecionarVinheta::edtVinhetaChange() {
    // The previous result goes first, so a failure leaves an empty grid rather than stale rows.
    Ds_Vinhetas->clear();
    std::vector<JingleRow> rows;
    try {
        if (!Db_Zelvo.isOpen()) {
            Db_Zelvo.openWithTimeout();
        }
        if (!Trans_Zelvo.isActive()) {
            Trans_Zelvo.start();
        }
        if (!Q_Vinhetas) {
            auto query = std::make_unique<QSqlQuery>(Db_Zelvo.database());
            query->setForwardOnly(true);
            if (!query->prepare(kJingleQuerySql)) {
                throw JingleDatabaseError(query->lastError());
            }
            Q_Vinhetas = std::move(query);
        }
        // A bound parameter: quotes and accents in the filter never reach the SQL text.
        rows = runJingleQuery(*Q_Vinhetas, jingleNamePattern(edtVinheta->text()));
    } catch (...) {
        // Start afresh next time: a lost connection is then reopened by the next keystroke.
        closeDatabase();
        throw;
    }
    Ds_Vinhetas->setRows(std::move(rows));
    if (Ds_Vinhetas->rowCount() > 0) {
        DBGrid1->setCurrentIndex(Ds_Vinhetas->index(0, JingleTableModel::NomeColumn));
    }
    Q_VinhetasAfterOpen();
}

void TfrmSelecionarVinheta::Q_VinhetasAfterOpen() {
    if (Ds_Vinhetas->rowCount() == 0) {
        // Redraw the empty state (titles only) at once.
        DBGrid1->viewport()->update();
    }
}

void TfrmSelecionarVinheta::DBGrid1DblClick() {
    if (Ds_Vinhetas->rowCount() == 0 || !DBGrid1->currentIndex().isValid()) {
        return;
    }
    accept();
}

void TfrmSelecionarVinheta::FormClose() {
    closeDatabase();
}

void TfrmSelecionarVinheta::closeDatabase() {
    Q_Vinhetas.reset();
    Trans_Zelvo.end();
    Db_Zelvo.close();
}

void TfrmSelecionarVinheta::done(int result) {
    FormClose();
    QDialog::done(result);
}

void TfrmSelecionarVinheta::filterChangedByOperator() {
    try {
        edtVinhetaChange();
    } catch (const JingleConnectCancelled&) {
        // The operator gave up waiting; the grid stays empty until the next keystroke.
    } catch (const JingleDatabaseError& error) {
        showMessage(this, error.message());
    }
}

void TfrmSelecionarVinheta::SilentlyReject() {
    QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
}

bool TfrmSelecionarVinheta::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return QDialog::eventFilter(watched, event);
    }
    auto* key = static_cast<QKeyEvent*>(event);
    if (isEnterKey(key) && (watched == edtVinheta || watched == DBGrid1)) {
        DBGrid1DblClick();
        return true;
    }
    if (watched == edtVinheta) {
        // The filter edit steers the grid's current row, so typing and choosing need no mouse.
        switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            QCoreApplication::sendEvent(DBGrid1, event);
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

QString TfrmSelecionarVinheta::chosenFile() const {
    const QModelIndex current = DBGrid1->currentIndex();
    if (!current.isValid() || current.row() >= Ds_Vinhetas->rowCount()) {
        return {};
    }
    return Ds_Vinhetas->rows()[static_cast<std::size_t>(current.row())].arquivo;
}

int TfrmSelecionarVinheta::rowCount() const {
    return Ds_Vinhetas->rowCount();
}

std::optional<QString> selectJingle(JingleDialogOptions options) {
    TfrmSelecionarVinheta dialog(nullptr, std::move(options));
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.chosenFile();
}

} // namespace tavrela
