// Channel files and the comment list at scale: "Save to File" and "Read from File Name ^" of
// 1 000, 10 000 and 100 000-row lists (saveChannelFile / loadChannelFile, the program's own
// code including the flush and rename of a save), and "Load Comments from List" with 10 000
// names in "names.txt" over the same three lists. Times are the median of several runs; the
// ratios between sizes show whether the time grows linearly (10x rows: ratio 10).
//
//   bench_files [--runs N]

#include "bench/BenchSupport.h"
#include "files/ChannelFile.h"
#include "files/CommentList.h"
#include "files/TextFile.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>

using namespace memvane;
using namespace memvane::bench;

namespace {

std::string freqText(long long hz)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04lld.%06lld", hz / 1'000'000, hz % 1'000'000);
    return buf;
}

long long rowHz(size_t i)
{
    return 1'800'000 + static_cast<long long>(i) * 5'000;
}

// Rows as a full read makes them, the memory label counting on past 99.
std::vector<ChannelRow> makeRows(size_t count)
{
    static const char* modes[] = {"FM", "USB", "LSB", "CW", "AM"};
    std::vector<ChannelRow> rows;
    rows.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        std::string f = freqText(rowHz(i));
        rows.push_back({i % 3 == 0,
                        {"Mem " + std::to_string(i + 1), f, f, modes[i % 5], "Normal", "Duplex Off",
                         "", "00.6000"}});
    }
    return rows;
}

double median(std::vector<double> v)
{
    return statsOf(std::move(v)).median;
}

} // namespace

int main(int argc, char** argv)
{
    int runs = intOption(argc, argv, "--runs", 5);
    printMachine("bench_files: channel file load/save and Load Comments from List");
    TempFolder folder;
    std::cout << "files in " << folder.path().string() << " (" << runs << " runs each, median)\n";

    const size_t sizes[] = {1'000, 10'000, 100'000};
    std::map<size_t, double> loadMs, saveMs, parseMs, formatMs, commentMs, namesMs;
    // Small sizes take a millisecond or less: more runs so the median means something.
    auto runsFor = [&](size_t n) {
        return std::max(runs, static_cast<int>(std::min<size_t>(50, 100'000 / n)));
    };

    for (size_t n : sizes) {
        ChannelList list;
        list.replaceAll(makeRows(n));
        ProgramState state;
        state.basename = "channels-" + std::to_string(n) + ".txt";
        state.loaddir = folder.path().string() + "/";
        BenchUi ui;
        ui.saveAnswer = state.loaddir + state.basename;
        int r = runsFor(n);

        std::vector<double> save, load, parse, format;
        std::string text;
        for (int i = 0; i < r; ++i) {
            auto start = Clock::now();
            saveChannelFile(list, state, ui);
            save.push_back(msSince(start));
            start = Clock::now();
            text = formatChannelFile(list.rows());
            format.push_back(msSince(start));
        }
        ChannelList loaded;
        std::vector<double> readFile, replace;
        for (int i = 0; i < r; ++i) {
            auto start = Clock::now();
            loadChannelFile(loaded, state, ui);
            load.push_back(msSince(start));
            // The same steps one by one: read the file, parse it, replace the rows (which also
            // frees the previous ones).
            start = Clock::now();
            std::string contents = readTextFile(ui.saveAnswer);
            readFile.push_back(msSince(start));
            start = Clock::now();
            std::vector<ChannelRow> rows = parseChannelFile(contents);
            parse.push_back(msSince(start));
            start = Clock::now();
            loaded.replaceAll(std::move(rows));
            replace.push_back(msSince(start));
        }
        bool same = loaded.rows() == list.rows();
        saveMs[n] = median(save);
        loadMs[n] = median(load);
        formatMs[n] = median(format);
        parseMs[n] = median(parse);
        printFigure("save " + std::to_string(n) + " rows (" + std::to_string(text.size() / 1024) +
                        " KiB, written, flushed to disk, renamed)",
                    fixed(saveMs[n], 2) + " ms, of which formatting the text " +
                        fixed(formatMs[n], 2) + " ms");
        printFigure("load " + std::to_string(n) + " rows (read, parse, replace the list)",
                    fixed(loadMs[n], 2) + " ms; its steps alone: reading the file " +
                        fixed(median(readFile), 2) + " ms, parsing " + fixed(parseMs[n], 2) +
                        " ms, replacing the rows " + fixed(median(replace), 2) + " ms" +
                        (same ? "" : "  (ROWS DIFFER after the load)"));
    }

    // names.txt: a name for every tenth row of the largest list, so 10 000 names match 1 000
    // rows of a 10 000-row list. Then the other direction: 1 000 to 100 000 names, 10 000 rows.
    auto writeNames = [&](size_t count) {
        std::string path = folder.file("names-" + std::to_string(count) + ".txt");
        std::ofstream out(path, std::ios::binary);
        for (size_t i = 0; i < count; ++i)
            out << freqText(rowHz(i * 10)) << ",Comment " << i << "\r\n";
        return path;
    };
    CommentList comments;
    std::vector<double> namesLoad;
    std::string names = writeNames(10'000);
    for (int r = 0; r < runs; ++r) {
        auto start = Clock::now();
        comments.load(names);
        namesLoad.push_back(msSince(start));
    }
    printFigure("read names.txt with 10000 names", fixed(median(namesLoad), 2) + " ms");

    auto timeComments = [&](ChannelList& list, const CommentList& c, int r) {
        BenchUi ui;
        std::vector<double> times;
        for (int i = 0; i < r; ++i) {
            clearCommentTexts(list);
            auto start = Clock::now();
            loadComments(list, c, ui);
            times.push_back(msSince(start));
        }
        return median(times);
    };
    for (size_t n : sizes) {
        ChannelList list;
        list.replaceAll(makeRows(n));
        commentMs[n] = timeComments(list, comments, runsFor(n));
        size_t withComment = 0;
        for (size_t i = 0; i < list.size(); ++i)
            withComment += !list.text(i, ColComment).empty();
        printFigure("Load Comments from List, 10000 names, " + std::to_string(n) + " rows",
                    fixed(commentMs[n], 2) + " ms (" + std::to_string(withComment) +
                        " rows got a comment)");
    }
    {
        ChannelList list;
        list.replaceAll(makeRows(10'000));
        for (size_t count : sizes) {
            CommentList c;
            c.load(writeNames(count));
            namesMs[count] = timeComments(list, c, runsFor(count));
            printFigure("Load Comments from List, " + std::to_string(count) + " names, 10000 rows",
                        fixed(namesMs[count], 2) + " ms");
        }
    }

    auto ratios = [&](const std::string& what, std::map<size_t, double>& m) {
        std::cout << "growth of " << what << ": 10k/1k = " << fixed(m[10'000] / m[1'000], 2)
                  << ", 100k/10k = " << fixed(m[100'000] / m[10'000], 2) << " (linear: 10)\n";
    };
    ratios("save", saveMs);
    ratios("formatting for a save", formatMs);
    ratios("load", loadMs);
    ratios("parsing for a load", parseMs);
    ratios("Load Comments from List over rows (10000 names)", commentMs);
    ratios("Load Comments from List over names (10000 rows)", namesMs);
    printFigure("100 000 rows load in under a second",
                loadMs[100'000] < 1000 ? "met (" + fixed(loadMs[100'000], 0) + " ms)"
                                       : "MISSED (" + fixed(loadMs[100'000], 0) + " ms)");
    return 0;
}
