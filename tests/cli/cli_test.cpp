#include "cli/Cli.h"

#include <gtest/gtest.h>

using namespace memvane::cli;

namespace {

std::string usageError(const std::vector<std::string>& args)
{
    try {
        parseArguments(args);
    } catch (const UsageError& e) {
        return e.what();
    }
    return "accepted";
}

} // namespace

TEST(CliArguments, OptionsGoBeforeOrAfterTheCommand)
{
    Options o = parseArguments({"--port", "ttyUSB0", "read", "--first=3", "--last", "7", "-o",
                                "x.csv", "--address", "4e", "--baud", "9600", "--fast"});
    EXPECT_EQ(o.command, "read");
    EXPECT_TRUE(o.fast);
    EXPECT_EQ(o.port, "ttyUSB0");
    EXPECT_EQ(o.first, 3);
    EXPECT_EQ(o.last, 7);
    EXPECT_EQ(o.output, "x.csv");
    EXPECT_EQ(o.address, "4E");
    EXPECT_EQ(o.baud, 9600);

    EXPECT_TRUE(o.backup && o.verify) << "a write is safe unless told otherwise";
    o = parseArguments({"restore", "--no-verify", "--backup=b.txt"});
    EXPECT_EQ(o.command, "restore");
    EXPECT_TRUE(o.files.empty());
    EXPECT_FALSE(o.verify);
    EXPECT_EQ(o.backupFile, "b.txt");
    o = parseArguments({"write", "--rows", "2,4-5", "--", "-odd name.txt"});
    EXPECT_EQ(o.files, std::vector<std::string>{"-odd name.txt"});
    EXPECT_EQ(o.rows, "2,4-5");
}

TEST(CliArguments, ShortOptionsAddressFormsSpecialMemoriesAndLevels)
{
    Options o = parseArguments({"-p", "ttyUSB1", "-b", "9600", "-a", "0x4e", "-q", "read",
                                "--first", "1a", "--last", "C2", "-o", "-"});
    EXPECT_EQ(o.port, "ttyUSB1");
    EXPECT_EQ(o.baud, 9600);
    EXPECT_EQ(o.address, "4E");
    EXPECT_EQ(o.verbosity, 0);
    EXPECT_EQ(o.first, 100);
    EXPECT_EQ(o.last, 107);
    EXPECT_EQ(o.output, "-");
    EXPECT_EQ(parseArguments({"--address", "58H", "-v", "tune", "3b"}).address, "58");
    EXPECT_EQ(parseArguments({"-v", "tune", "3b"}).verbosity, 2);
    EXPECT_TRUE(parseArguments({"write", "--check", "f.txt"}).check);
    EXPECT_EQ(parseMemory("tune", "107"), 107);
    EXPECT_EQ(parseMemory("tune", "99"), 99);
}

TEST(CliArguments, BadUsageIsRefusedWithItsReason)
{
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, "no command given"},
        {{"erase"}, "unknown command 'erase'"},
        {{"read", "--fats"}, "unknown option '--fats'"},
        {{"read", "extra"}, "usage: memvane-cli read [-o FILE]"},
        {{"convert", "a.txt"}, "usage: memvane-cli convert IN OUT"},
        {{"read", "--first"}, "--first needs a value"},
        {{"read", "--first", "0"}, "--first takes a memory from 1 to 99 or 1A to C2, not '0'"},
        {{"read", "--last", "108"}, "--last takes a memory from 1 to 99 or 1A to C2, not '108'"},
        {{"tune", "1C"}, "tune takes a memory from 1 to 99 or 1A to C2, not '1C'"},
        {{"read", "--first", "C2", "--last", "1A"}, "--first C2 lies after --last 1A"},
        {{"read", "--check"}, "--check belongs to the write command"},
        {{"read", "--first", "9", "--last", "3"}, "--first 9 lies after --last 3"},
        {{"read", "--address", "5A"}, "--address is 58, 4E or 48 (also 58H, 0x58), not '5A'"},
        {{"read", "-a", "0x5"}, "--address is 58, 4E or 48 (also 58H, 0x58), not '0x5'"},
        {{"read", "--baud", "fast"}, "--baud takes a line rate such as 19200, not 'fast'"},
        {{"read", "--format", "csv"}, "--format is 'channel' or 'chirp', not 'csv'"},
        {{"tune", "5", "-o", "x"}, "-o belongs to the read command"},
        {{"read", "--rows", "1"}, "--rows belongs to the write command"},
        {{"read", "--no-backup"},
         "--no-backup, --backup and --no-verify belong to write and restore"},
        {{"tune", "5", "--backup", "x"},
         "--no-backup, --backup and --no-verify belong to write and restore"},
        {{"write", "a", "--no-backup", "--backup", "x"},
         "--backup names the backup that --no-backup leaves out"},
        {{"restore", "a", "b"}, "usage: memvane-cli restore [FILE]"},
        {{"write", "a", "--backup"}, "--backup needs a value"},
        {{"convert", "a", "b", "--port", "COM1"},
         "convert does not talk to the radio: --port, --baud, --address and --fast are for read, "
         "write and tune"},
    };
    for (const auto& [args, why] : cases)
        EXPECT_EQ(usageError(args), why) << ::testing::PrintToString(args);
}

TEST(CliArguments, RowListsNameRowsOfTheFile)
{
    EXPECT_EQ(parseRowList("1,3, 5-7", 9), (std::vector<int>{1, 3, 5, 6, 7}));
    EXPECT_THROW(parseRowList("0", 9), UsageError);
    EXPECT_THROW(parseRowList("8-10", 9), UsageError);
    EXPECT_THROW(parseRowList("5-3", 9), UsageError);
    EXPECT_THROW(parseRowList("1,,2", 9), UsageError);
    EXPECT_THROW(parseRowList("a", 9), UsageError);
}
