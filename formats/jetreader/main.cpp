// Reads tables of an Access (Jet 3/4) file with mdbtools and writes them to standard
// output, one line a row. It runs as a process of its own, so that a damaged or hostile
// file that upsets the library cannot take the program down with it.
//
//   sentaro-jetreader tables FILE         T<TAB>name ... then OK
//   sentaro-jetreader dump FILE TABLE     C<TAB>name<TAB>kind ... R<TAB>value<TAB>... then OK<TAB>read<TAB>declared
//
// Kinds: N number, T text, X nothing readable (binary, OLE). Values escape \\, tab, line ends as
// \\, \t, \n, \r; \N is no value. Failures: E<TAB>message, exit status 1.

// glib first: the library header would include it inside its extern "C" block. A library built
// without GLib (as on Windows) brings its own small stand-in instead.
#if __has_include(<glib.h>)
#include <glib.h>
#endif
#include <mdbtools.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

// Lines end in \n alone, as the program reads them: Windows would otherwise write \r\n.
void useBinaryOutput()
{
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
}

constexpr size_t bindSize = 1 << 20; // long memo fields

void fail(const std::string &message)
{
    std::printf("E\t%s\n", message.c_str());
    std::exit(1);
}

void writeEscaped(const char *text, int length)
{
    for (int i = 0; i < length; ++i) {
        const char c = text[i];
        switch (c) {
        case '\\':
            std::fputs("\\\\", stdout);
            break;
        case '\t':
            std::fputs("\\t", stdout);
            break;
        case '\n':
            std::fputs("\\n", stdout);
            break;
        case '\r':
            std::fputs("\\r", stdout);
            break;
        default:
            std::fputc(c, stdout);
        }
    }
}

char kindOf(int type)
{
    switch (type) {
    case MDB_BOOL:
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_MONEY:
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_NUMERIC:
        return 'N';
    case MDB_TEXT:
    case MDB_MEMO:
    case MDB_DATETIME:
    case MDB_REPID:
        return 'T';
    default:
        return 'X';
    }
}

bool isUserTable(const MdbCatalogEntry *entry)
{
    return entry->object_type == MDB_TABLE && std::strncmp(entry->object_name, "MSys", 4) != 0;
}

MdbHandle *open(const char *path)
{
    MdbHandle *mdb = mdb_open(path, MDB_NOFLAGS);
    if (!mdb)
        fail("not an Access file");
    mdb_set_bind_size(mdb, bindSize);
    mdb_set_date_fmt(mdb, "%d/%m/%Y");
    if (!mdb_read_catalog(mdb, MDB_TABLE))
        fail("no catalogue");
    return mdb;
}

void listTables(MdbHandle *mdb)
{
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb->catalog, i));
        if (isUserTable(entry))
            std::printf("T\t%s\n", entry->object_name);
    }
    std::printf("OK\n");
}

void dumpTable(MdbHandle *mdb, const char *name)
{
    MdbTableDef *table = nullptr;
    for (unsigned i = 0; i < mdb->num_catalog && !table; ++i) {
        auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb->catalog, i));
        if (isUserTable(entry) && g_ascii_strcasecmp(entry->object_name, name) == 0)
            table = mdb_read_table(entry);
    }
    if (!table)
        fail(std::string("no table ") + name);
    if (!mdb_read_columns(table))
        fail("unreadable columns");
    const unsigned columns = table->num_cols;
    std::vector<std::vector<char>> values(columns, std::vector<char>(bindSize + 1));
    std::vector<int> lengths(columns, 0);
    std::vector<char> kinds(columns);
    for (unsigned c = 0; c < columns; ++c) {
        auto *column = static_cast<MdbColumn *>(g_ptr_array_index(table->columns, c));
        kinds[c] = kindOf(column->col_type);
        std::printf("C\t%s\t%c\n", column->name, kinds[c]);
        mdb_bind_column(table, int(c + 1), values[c].data(), &lengths[c]);
    }
    mdb_rewind_table(table);
    long rows = 0;
    while (mdb_fetch_row(table)) {
        std::fputc('R', stdout);
        for (unsigned c = 0; c < columns; ++c) {
            std::fputc('\t', stdout);
            // The library cannot tell an empty text from no value: both read as no value.
            if (kinds[c] == 'X' || lengths[c] <= 0)
                std::fputs("\\N", stdout);
            else
                writeEscaped(values[c].data(), std::min<int>(lengths[c], int(bindSize)));
        }
        std::fputc('\n', stdout);
        ++rows;
    }
    // The rows the table says it holds, for the caller to check against those read.
    std::printf("OK\t%ld\t%u\n", rows, table->num_rows);
    mdb_free_tabledef(table);
}

} // namespace

int main(int argc, char **argv)
{
    // The library formats numbers with printf: 7.5 must not become "7,5".
    std::setlocale(LC_ALL, "C");
    useBinaryOutput();
    if (argc == 3 && std::strcmp(argv[1], "tables") == 0) {
        MdbHandle *mdb = open(argv[2]);
        listTables(mdb);
        mdb_close(mdb);
    } else if (argc == 4 && std::strcmp(argv[1], "dump") == 0) {
        MdbHandle *mdb = open(argv[2]);
        dumpTable(mdb, argv[3]);
        mdb_close(mdb);
    } else {
        fail("usage: sentaro-jetreader tables FILE | dump FILE TABLE");
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
