// ПЕЧАТЬ in the main window: the question, what each answer prints, and a second press or a
// close while the job runs.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include "app/mainwindow.h"
#include "tests/app/installation.h"
#include "tests/common/pdfprinter.h"

using kvtest::W;

namespace {

std::string Paragraphs(int count) {
    std::string text = "<html><head><title>Статья</title></head><body>\n";
    for (int i = 0; i < count; ++i)
        text += "<p>Строка текста номер " + std::to_string(i) + ".</p>\n";
    return text + "</body></html>\n";
}

struct PrintingShell {
    kvtest::Installation setup;
    std::vector<std::pair<kv::messages::Kind, std::string>> boxes;
    kv::messages::Answer answer = kv::messages::Answer::No;
    kv::messages::Hook previous;
    std::unique_ptr<kv::TWindowSet> windows;
    std::unique_ptr<kvtest::PdfPrinter> pdf;

    explicit PrintingShell(int paragraphs) {
        setup.Article("Статья", Paragraphs(paragraphs));
        previous = kv::messages::setHook([this](kv::messages::Kind kind, const std::string& text) {
            boxes.emplace_back(kind, text);
            return answer;
        });
        windows = kv::CreateWindowSet(setup.Folders());
        kv::ShowMainWindow(*windows);
        QCoreApplication::processEvents();
        pdf = std::make_unique<kvtest::PdfPrinter>(setup.windows, 96);
        Main().HtmlView1->LoadFromFile(Main().ProgramFolder() + "inside/" + "Статья" +
                                       "/index.htm");
    }
    ~PrintingShell() { kv::messages::setHook(previous); }
    kv::TForm1& Main() { return *windows->Form1; }
};

const std::string kQuestion = "Распечатать текущий документ ?";

TEST(PrintQuestion, NoPrintsNothingAndYesPrintsTheFirstHundredPages) {
    PrintingShell shell(5000);  // about 145 pages
    shell.Main().ButtonLayer3Click();
    ASSERT_EQ(shell.boxes.size(), 1u);
    EXPECT_EQ(shell.boxes[0].first, kv::messages::Kind::Question);
    EXPECT_EQ(shell.boxes[0].second, kQuestion);
    EXPECT_FALSE(std::filesystem::exists(shell.pdf->file));

    shell.answer = kv::messages::Answer::Yes;
    shell.Main().ButtonLayer3Click();
    EXPECT_EQ(shell.boxes.size(), 2u);  // the question only: no failure
    EXPECT_EQ(shell.pdf->Pages(), 100);
}

TEST(PrintQuestion, ASecondPressDuringTheJobIsRefused) {
    PrintingShell shell(200);
    shell.answer = kv::messages::Answer::Yes;
    kv::THtmlView& view = *shell.Main().HtmlView1;
    bool pressed = false;
    view.OnPrintProgress = [&](kv::THtmlView*, int page, bool&) {
        if (page != 1 || pressed) return;
        pressed = true;
        QTimer::singleShot(0, &view, [&] { shell.Main().ButtonLayer3Click(); });
    };
    shell.Main().ButtonLayer3Click();
    ASSERT_EQ(shell.boxes.size(), 2u);
    EXPECT_EQ(shell.boxes[0].second, kQuestion);
    EXPECT_EQ(shell.boxes[1].first, kv::messages::Kind::Error);
    EXPECT_EQ(shell.boxes[1].second, "Printing in progress");
    const int pages = shell.pdf->Pages();
    EXPECT_GE(pages, 2);  // the first job printed every page

    // Closing the main window during a job ends the job after its page.
    view.OnPrintProgress = [&](kv::THtmlView*, int page, bool&) {
        if (page == 1 && shell.Main().isVisible())
            QTimer::singleShot(0, &view, [&] { shell.Main().close(); });
    };
    shell.Main().ButtonLayer3Click();
    EXPECT_FALSE(shell.Main().isVisible());
    EXPECT_EQ(shell.pdf->Pages(), 1);
    EXPECT_FALSE(view.Printing());
}

}  // namespace
