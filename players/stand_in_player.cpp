// A stand-in for one of the outside players (its name comes from the build: PLAYER_NAME). It
// is what a user sees until the real player is installed in its place: a window with the
// player's name, the fields of its command line and, for the players given a text file, that
// file's text a page at a time. It registers in the process registry beside its executable
// while it runs, so that Tavrin can stop it, and unregisters when closed or sent SIGTERM,
// SIGINT or SIGHUP.
#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <string>
#include <vector>

#include "common/process_registry.h"
#include "common/qt/termination_notifier.h"
#include "platform/codepage.h"
#include "platform/termination_signals.h"
#include "players/stand_in_args.h"

namespace {

constexpr int kLinesPerPage = 25;

// Text from the package is in the ANSI code page; the program's own texts are UTF-8.
QString FromAnsi(const std::string& text) {
    return QString::fromStdU16String(platform::AnsiToUtf16(text));
}

class CStandInDlg : public QDialog {
  public:
    CStandInDlg(const std::string& strName, const std::string& strArguments)
        : m_strRegistry(
              common::RegistryFolder(QCoreApplication::applicationDirPath().toStdString())) {
        setWindowTitle(QString::fromStdString(strName));
        auto* layout = new QVBoxLayout(this);
        auto* title = new QLabel(QString::fromStdString(strName), this);
        title->setObjectName(QStringLiteral("name"));
        QFont font = title->font();
        font.setPointSize(font.pointSize() + 4);
        font.setBold(true);
        title->setFont(font);
        layout->addWidget(title);

        const std::vector<std::string> fields = SplitTildeFields(strArguments);
        for (size_t i = 0; i < fields.size(); ++i) {
            auto* field =
                new QLabel(QStringLiteral("%1: %2").arg(i + 1).arg(FromAnsi(fields[i])), this);
            field->setObjectName(QStringLiteral("field%1").arg(i + 1));
            field->setTextInteractionFlags(Qt::TextSelectableByMouse);
            layout->addWidget(field);
        }

        const std::string file = ShownFile(strName, fields);
        if (!file.empty()) AddFileView(layout, file);

        auto* close = new QPushButton(QStringLiteral("Close"), this);
        connect(close, &QPushButton::clicked, this, &QDialog::reject);
        layout->addWidget(close);

        common::RegisterProcess(m_strRegistry);
    }

    ~CStandInDlg() override { common::UnregisterProcess(m_strRegistry); }

    void done(int result) override {
        common::UnregisterProcess(m_strRegistry);
        QDialog::done(result);
    }

  private:
    void AddFileView(QVBoxLayout* layout, const std::string& file) {
        bool truncated = false;
        if (!ReadTextLines(file, m_lines, &truncated)) {
            layout->addWidget(new QLabel(QStringLiteral("Cannot open ") + FromAnsi(file), this));
            return;
        }
        if (truncated) layout->addWidget(new QLabel(QStringLiteral("(file shortened)"), this));
        m_pText = new QPlainTextEdit(this);
        m_pText->setObjectName(QStringLiteral("text"));
        m_pText->setReadOnly(true);
        m_pText->setMinimumSize(640, 400);
        layout->addWidget(m_pText);
        auto* row = new QHBoxLayout;
        auto* prev = new QPushButton(QStringLiteral("<"), this);
        auto* next = new QPushButton(QStringLiteral(">"), this);
        m_pPage = new QLabel(this);
        m_pPage->setObjectName(QStringLiteral("page"));
        row->addWidget(prev);
        row->addWidget(m_pPage);
        row->addWidget(next);
        layout->addLayout(row);
        connect(prev, &QPushButton::clicked, this, [this] { ShowPage(m_nPage - 1); });
        connect(next, &QPushButton::clicked, this, [this] { ShowPage(m_nPage + 1); });
        ShowPage(1);
    }

    void ShowPage(int nPage) {
        const int pages = PageCount(m_lines.size(), kLinesPerPage);
        m_nPage = std::clamp(nPage, 1, pages);
        QString text;
        for (const std::string& line : PageLines(m_lines, m_nPage, kLinesPerPage))
            text += FromAnsi(line) + QLatin1Char('\n');
        m_pText->setPlainText(text);
        m_pPage->setText(QStringLiteral("%1 / %2").arg(m_nPage).arg(pages));
    }

    std::string m_strRegistry;
    std::vector<std::string> m_lines;
    QPlainTextEdit* m_pText = nullptr;
    QLabel* m_pPage = nullptr;
    int m_nPage = 1;
};

}  // namespace

int main(int argc, char** argv) {
    const std::string arguments = JoinArguments(argc, argv);
    QApplication app(argc, argv);
    CStandInDlg dlg(PLAYER_NAME, arguments);

    // A termination request closes the window the normal way, so the entry goes with it.
    common::CTerminationNotifier notifier([&dlg](int) { dlg.reject(); });
    dlg.show();
    dlg.exec();
    return 0;
}
