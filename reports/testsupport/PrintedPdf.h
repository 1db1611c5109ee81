#pragma once
// Reading back a printed report: a command's output over the PDF file, the words of a page with
// their boxes, and checks of a printed page heading and of column headings.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <regex>
#include <span>
#include <string>
#include <vector>

#include "framework/reports/Reports.h"

namespace reports::testsupport {

inline std::string PdfCommandOutput(const std::string& Command) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(Command.c_str(), "r"), pclose);
    char buffer[4096];
    while (pipe && fgets(buffer, sizeof buffer, pipe.get())) out += buffer;
    return out;
}

// A printed word and its box, in points from the page's top left.
struct TPdfWord {
    std::string Text;
    double XMin = 0, YMin = 0, XMax = 0, YMax = 0;
};

inline std::vector<TPdfWord> PdfWords(const std::string& Pdf, int Page = 1) {
    const std::string n = std::to_string(Page);
    const std::string html =
        PdfCommandOutput("pdftotext -bbox -f " + n + " -l " + n + " '" + Pdf + "' - 2>/dev/null");
    static const std::regex word(
        "<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">([^<]*)</word>");
    std::vector<TPdfWord> words;
    for (auto it = std::sregex_iterator(html.begin(), html.end(), word); it != std::sregex_iterator(); ++it)
        words.push_back(
            {(*it)[5], std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]), std::stod((*it)[4])});
    return words;
}

// The page number follows "Page" on the same line, no further away than the label is high (about
// a blank of its font).
inline void ExpectPageNumberBesideItsLabel(const std::string& Pdf, int Page = 1) {
    const std::vector<TPdfWord> words = PdfWords(Pdf, Page);
    for (const TPdfWord& label : words) {
        if (label.Text != "Page") continue;
        // The nearest word to its right on its line.
        const TPdfWord* number = nullptr;
        for (const TPdfWord& w : words)
            if (std::abs(w.YMin - label.YMin) < 1.0 && w.XMin > label.XMax &&
                (!number || w.XMin < number->XMin))
                number = &w;
        ASSERT_NE(number, nullptr) << "no page number after \"Page\"";
        EXPECT_EQ(number->Text, std::to_string(Page));
        EXPECT_LT(number->XMin - label.XMax, (label.YMax - label.YMin) / 2) << "the number stands apart";
        return;
    }
    ADD_FAILURE() << "no \"Page\" on page " << Page;
}

// Gives the measuring label and the headings a 16-point font, larger than the one they are made in.
inline void UseLargeHeadingFont(framework::TReportLabel& Test,
                                std::span<framework::TReportLabel* const> Headers) {
    framework::TFont big = Test.Font();
    big.SetSize(16);
    Test.Font() = big;
    for (framework::TReportLabel* h : Headers) h->Font() = big;
}

// Every enabled heading is at least as wide as its text in its own font (Test is a spare label
// whose font each heading's is copied into).
inline int ExpectHeadingsUnclipped(framework::TReportLabel& Test,
                                   std::span<framework::TReportLabel* const> Headers) {
    int shown = 0;
    for (framework::TReportLabel* h : Headers) {
        if (!h->Enabled()) continue;
        ++shown;
        Test.Font() = h->Font();
        Test.SetCaption("");
        Test.SetCaption(h->Caption());
        EXPECT_GE(h->Width(), Test.Width()) << h->Caption();
    }
    return shown;
}

}  // namespace reports::testsupport
