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

long long rowHz(size_t i) { return 1'800'000 + static_cast<long long>(i) * 5'000; }

// Rows as a full read makes them, the memory label counting on past 99.
std::vector<ChannelRow> makeRows(size_t count)
{
    static const char* modes[] = {"FM", "USB", "LSB", "CW", "AM"};
    std::vector<ChannelRow> rows;
    rows.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        std::string f = freqText(rowHz(i));
        rows.push_back({i % 3 == 0,
                        {"Mem " + std::to_string(i + 1), f, f, modes[i % 5], "Normal",
                         "Duplex Off", "", "00.6000"}});
    }
    return rows;
}

double median(std::vector<double> v) { return statsOf(std::move(v)).median; }

} // namespace

int main(int argc, char** argv)
{
    int runs = 5;
    for (int i = 1; i + 1 < argc; i += 2)
        if (!std::strcmp(argv[i], "--runs"))
            runs = std::atoi(argv[i + 1]);
    printMachine("bench_files: channel file load/save and Load Comments from List");
    TempFolder folder;
    std::cout << "files in " << folder.path().string() << " (" << runs
              << " runs each, median)\n";

    const size_t sizes[] = {1'000, 10'000, 100'000};
    std::map<size_t, double> loadMs, saveMs, commentMs;

    for (size_t n : sizes) {
        ChannelList list;
        list.replaceAll(makeRows(n));
        ProgramState state;
        state.basename = "channels-" + std::to_string(n) + ".txt";
        state.loaddir = folder.path().string() + "/";
        BenchUi ui;
        ui.saveAnswer = state.loaddir + state.basename;

        std::vector<double> save, load;
        for (int r = 0; r < runs; ++r) {
            auto start = Clock::now();
            saveChannelFile(list, state, ui);
            save.push_back(msSince(start));
        }
        auto bytes = std::filesystem::file_size(ui.saveAnswer);
        ChannelList loaded;
        for (int r = 0; r < runs; ++r) {
            auto start = Clock::now();
            loadChannelFile(loaded, state, ui);
            load.push_back(msSince(start));
        }
        bool same = loaded.rows() == list.rows();
        saveMs[n] = median(save);
        loadMs[n] = median(load);
        printFigure("save " + std::to_string(n) + " rows (" + std::to_string(bytes / 1024) +
                        " KiB)",
                    fixed(saveMs[n], 2) + " ms");
        printFigure("load " + std::to_string(n) + " rows",
                    fixed(loadMs[n], 2) + " ms" + (same ? "" : "  (ROWS DIFFER after the load)"));
    }

    // names.txt: 10 000 names, one for every tenth row of the largest list.
    std::string names = folder.file("names.txt");
    {
        std::ofstream out(names, std::ios::binary);
        for (size_t i = 0; i < 10'000; ++i)
            out << freqText(rowHz(i * 10)) << ",Comment " << i << "\r\n";
    }
    CommentList comments;
    std::vector<double> namesLoad;
    for (int r = 0; r < runs; ++r) {
        auto start = Clock::now();
        comments.load(names);
        namesLoad.push_back(msSince(start));
    }
    printFigure("read names.txt with 10000 names", fixed(median(namesLoad), 2) + " ms");

    for (size_t n : sizes) {
        ChannelList list;
        list.replaceAll(makeRows(n));
        BenchUi ui;
        std::vector<double> times;
        for (int r = 0; r < runs; ++r) {
            clearCommentTexts(list);
            auto start = Clock::now();
            loadComments(list, comments, ui);
            times.push_back(msSince(start));
        }
        size_t withComment = 0;
        for (size_t i = 0; i < list.size(); ++i)
            withComment += !list.text(i, ColComment).empty();
        commentMs[n] = median(times);
        printFigure("Load Comments from List, 10000 names, " + std::to_string(n) + " rows",
                    fixed(commentMs[n], 2) + " ms (" + std::to_string(withComment) +
                        " rows got a comment)");
    }

    auto ratios = [&](const std::string& what, std::map<size_t, double>& m) {
        std::cout << "growth of " << what << ": 10k/1k = " << fixed(m[10'000] / m[1'000], 2)
                  << ", 100k/10k = " << fixed(m[100'000] / m[10'000], 2)
                  << " (linear: 10)\n";
    };
    ratios("save", saveMs);
    ratios("load", loadMs);
    ratios("Load Comments from List", commentMs);
    printFigure("100 000 rows load in under a second",
                loadMs[100'000] < 1000 ? "met (" + fixed(loadMs[100'000], 0) + " ms)"
                                       : "MISSED (" + fixed(loadMs[100'000], 0) + " ms)");
    return 0;
}
