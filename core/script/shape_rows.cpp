#include "core/script/shape_rows.h"

#include "core/figures.h"

namespace q3 {

void drawRows(Stage& stage, std::span<const ShapeRow> rows)
{
    for (const ShapeRow& row : rows) {
        switch (row.op) {
        case ShapeRow::Op::SetFill:
            stage.setFill(row.colour);
            break;
        case ShapeRow::Op::Line:
            stage.line({row.a, row.b}, {row.c, row.d}, row.colour);
            break;
        case ShapeRow::Op::ForeLine:
            stage.line({row.a, row.b}, {row.c, row.d});
            break;
        case ShapeRow::Op::Box:
            stage.box({row.a, row.b}, {row.c, row.d}, kBlack);
            break;
        case ShapeRow::Op::BlackDisc:
            DrawBlackDisc(stage, row.a, row.b, row.c);
            break;
        }
    }
}

} // namespace q3
