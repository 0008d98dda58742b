#pragma once

#include "jingle_connection.h"
#include "jingle_settings.h"

#include <QDialog>
#include <QString>

#include <memory>
#include <optional>

class QLineEdit;
class QSqlQuery;
class QTableView;

namespace tavrela {

class JingleTableModel;

/// Where the jingle dialog finds its settings and how it logs in.
struct JingleDialogOptions {
    QString programFolder; ///< holds the settings file; empty means programFolder()
    QString userName = kJingleDatabaseUser;
    QString password = kJingleDatabasePassword;
    QString builtInDatabase = kBuiltInJingleDatabase;
};

/// The modal dialog that lists the jingles of type "V", filters them by name as the operator
/// types, and tells which one was chosen. It holds its own database connection from creation
/// until it closes.
class TfrmSelecionarVinheta : public QDialog {
    Q_OBJECT
public:
    /// Reads the settings file and connects (FormCreate), with a bounded wait during which the
    /// interface stays alive and the operator may cancel; a failed connection is reported in a
    /// message box with its reason and retried by the first query, unless the database did
    /// not answer in time or the operator cancelled (the dialog then does not appear).
    explicit TfrmSelecionarVinheta(QWidget* parent = nullptr, JingleDialogOptions options = {});
    ~TfrmSelecionarVinheta() override;

    /// Lists the jingles (FormShow) and runs the modal loop. When the first listing fails the
    /// dialog never appears and JingleDatabaseError is thrown with the database's message.
    int exec() override;

    /// VIN_ARQUIVO of the grid's current row; empty when the grid has no current row.
    QString chosenFile() const;
    /// Rows shown by the grid.
    int rowCount() const;
    /// The name of this dialog's Qt SQL connection (valid until the dialog closes).
    QString connectionName() const { return Db_Zelvo.connectionName(); }
    /// The database name the connection uses.
    QString databaseName() const { return Db_Zelvo.databaseName(); }

    QLineEdit* filterEdit() const { return edtVinheta; }
    QTableView* grid() const { return DBGrid1; }
    JingleTableModel* model() const { return Ds_Vinhetas; }

    void FormCreate();
    /// Runs the filter once; throws JingleDatabaseError.
    void FormShow();
    /// Re-runs the query for the current filter text; throws JingleDatabaseError.
    void edtVinhetaChange();
    void Q_VinhetasAfterOpen();
    /// Accepts the grid's current row; does nothing when the grid is empty.
    void DBGrid1DblClick();
    /// Ends the query, the transaction and the connection; the rows stay for the caller.
    void FormClose();

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void filterChangedByOperator();
    void closeDatabase();
    void SilentlyReject();

    JingleDialogOptions options_;
    // Declared so that they end in the order query, transaction, connection.
    JingleConnection Db_Zelvo;
    JingleTransaction Trans_Zelvo{Db_Zelvo};
    std::unique_ptr<QSqlQuery> Q_Vinhetas;
    JingleTableModel* Ds_Vinhetas = nullptr;
    QLineEdit* edtVinheta = nullptr;
    QTableView* DBGrid1 = nullptr;
    bool listed_ = false;
    /// The connection at creation timed out or was cancelled: the dialog does not appear.
    bool abandoned_ = false;
};

/// The stamp command's use of the dialog: creates it without an owner, shows it modally and
/// destroys it. Returns the chosen row's VIN_ARQUIVO, or nothing when the operator cancelled.
/// Throws JingleDatabaseError when the jingles cannot be listed (no dialog is shown then).
std::optional<QString> selectJingle(JingleDialogOptions options = {});

} // namespace tavrela
