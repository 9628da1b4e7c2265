// libxlsxwriter's functions as the exports call them, each found in the library on its first call instead of being
// bound when the program is loaded: the library and what it needs (OpenSSL's libcrypto, minizip) cost every start
// several milliseconds, and only an export uses them.
#include "db/library_on_demand.h"

#include <xlsxwriter.h>

namespace {

constexpr char kXlsxwriter[] = "libxlsxwriter.so.4";

} // namespace

#define KESTA_XLSXWRITER(Result, name, parameters, arguments)                                                         \
    KESTA_FUNCTION_ON_DEMAND(kXlsxwriter, Result, name, parameters, arguments)

KESTA_XLSXWRITER(lxw_workbook*, workbook_new_opt, (const char* filename, lxw_workbook_options* options),
                 (filename, options))
KESTA_XLSXWRITER(lxw_worksheet*, workbook_add_worksheet, (lxw_workbook * workbook, const char* sheetname),
                 (workbook, sheetname))
KESTA_XLSXWRITER(lxw_format*, workbook_add_format, (lxw_workbook * workbook), (workbook))
KESTA_XLSXWRITER(lxw_error, workbook_close, (lxw_workbook * workbook), (workbook))
KESTA_XLSXWRITER(void, lxw_workbook_free, (lxw_workbook * workbook), (workbook))
KESTA_XLSXWRITER(lxw_error, worksheet_write_number,
                 (lxw_worksheet * worksheet, lxw_row_t row, lxw_col_t col, double number, lxw_format* format),
                 (worksheet, row, col, number, format))
KESTA_XLSXWRITER(lxw_error, worksheet_write_string,
                 (lxw_worksheet * worksheet, lxw_row_t row, lxw_col_t col, const char* string, lxw_format* format),
                 (worksheet, row, col, string, format))
KESTA_XLSXWRITER(lxw_error, worksheet_set_column,
                 (lxw_worksheet * worksheet, lxw_col_t first_col, lxw_col_t last_col, double width,
                  lxw_format* format),
                 (worksheet, first_col, last_col, width, format))
KESTA_XLSXWRITER(void, worksheet_freeze_panes, (lxw_worksheet * worksheet, lxw_row_t row, lxw_col_t col),
                 (worksheet, row, col))
KESTA_XLSXWRITER(void, format_set_bold, (lxw_format * format), (format))
KESTA_XLSXWRITER(void, format_set_num_format, (lxw_format * format, const char* num_format), (format, num_format))
