// Table views asking their data source, laying out and reusing cells.
#include "foundation/NSException.h"
#include "uikit/UITableView.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A data source (and delegate) that answers by message only, as a module's
// would, and records what the table asked.
class ListSource : public NSObject {
    OBJC_CLASS(ListSource)
public:
    NSInteger rows(UITableView*, NSInteger section)
    {
        ++rowQueries;
        return section < static_cast<NSInteger>(rowCounts.size()) ? rowCounts[section] : 0;
    }

    RefPtr<UITableViewCell> cell(UITableView* table, NSIndexPath* indexPath)
    {
        ++cellRequests;
        if (returnNil)
            return nullptr;
        auto identifier = useIdentifiers ? NSString::stringWithFormat("Row%ld", indexPath->row()) : RefPtr<NSString>();
        RefPtr<UITableViewCell> cell = identifier ? objc_msgSend<UITableViewCell*>(table, "dequeueReusableCellWithIdentifier:"_sel, identifier.get()) : nullptr;
        if (cell) {
            ++reused;
        } else {
            id made = objc_msgSend<id>(reinterpret_cast<id>(UITableViewCell::staticClass()), "alloc"_sel);
            made = objc_msgSend<id>(made, "initWithStyle:reuseIdentifier:"_sel, NSInteger(0), identifier.get());
            cell = adoptRef(static_cast<UITableViewCell*>(made));
        }
        // What a configuring data source sees of the cell.
        configuredContentBounds.push_back(cell->contentView()->bounds());
        if (accessory)
            objc_msgSend<void>(cell.get(), "setAccessoryView:"_sel, accessory.get());
        return cell;
    }

    std::vector<NSInteger> rowCounts { 2 };
    bool useIdentifiers = true;
    bool returnNil = false;
    RefPtr<UIView> accessory;
    int rowQueries = 0;
    int cellRequests = 0;
    int reused = 0;
    std::vector<CGRect> configuredContentBounds;
};

class SectionedSource : public ListSource {
    OBJC_CLASS(SectionedSource)
public:
    NSInteger sections(UITableView*) { return static_cast<NSInteger>(rowCounts.size()); }
};

Class ListSource::staticClass()
{
    static Class cls = ClassBuilder<ListSource>("TestListSource", &OBJC_CLASS_NSObject)
                           .method<&ListSource::rows>("tableView:numberOfRowsInSection:")
                           .method<&ListSource::cell>("tableView:cellForRowAtIndexPath:")
                           .build();
    return cls;
}

Class SectionedSource::staticClass()
{
    static Class cls = ClassBuilder<SectionedSource>("TestSectionedSource", ListSource::staticClass())
                           .method<&SectionedSource::sections>("numberOfSectionsInTableView:")
                           .build();
    return cls;
}

Ref<UITableView> makeTable(ListSource* source, CGRect frame)
{
    id made = objc_msgSend<id>(reinterpret_cast<id>(UITableView::staticClass()), "alloc"_sel);
    made = objc_msgSend<id>(made, "initWithFrame:style:"_sel, frame, NSInteger(0));
    auto table = adoptRef(*static_cast<UITableView*>(made));
    objc_msgSend<void>(table, "setDataSource:"_sel, source);
    objc_msgSend<void>(table, "setDelegate:"_sel, source);
    return table;
}

CGFloat bottomOfLastSection(UITableView* table)
{
    NSInteger sections = objc_msgSend<NSInteger>(table, "numberOfSections"_sel);
    return CGRectGetMaxY(objc_msgSend<CGRect>(table, "rectForSection:"_sel, sections - 1));
}

std::vector<UITableViewCell*> cellsOf(UITableView* table)
{
    std::vector<UITableViewCell*> cells;
    for (const auto& object : *objc_msgSend<NSArray*>(table, "visibleCells"_sel))
        cells.push_back(static_cast<UITableViewCell*>(object.get()));
    return cells;
}

} // namespace

TEST(TableView, AsksItsDataSourceForSectionsAndRowsByMessage)
{
    AutoreleasePool pool;
    auto sectioned = adoptObject(new SectionedSource);
    sectioned->rowCounts = { 2, 0, 1 };
    auto table = makeTable(sectioned.ptr(), CGRectMake(0, 0, 220, 400));
    objc_msgSend<void>(table, "reloadData"_sel);
    EXPECT_EQ(sectioned->rowQueries, 3);
    EXPECT_EQ(sectioned->cellRequests, 0); // cells wait for layout
    EXPECT_EQ(objc_msgSend<NSInteger>(table, "numberOfSections"_sel), 3);
    EXPECT_EQ(objc_msgSend<NSInteger>(table, "numberOfRowsInSection:"_sel, NSInteger(0)), 2);
    EXPECT_EQ(objc_msgSend<NSInteger>(table, "numberOfRowsInSection:"_sel, NSInteger(1)), 0);
    // A plain table without titles has no header or footer height.
    EXPECT_EQ(objc_msgSend<CGRect>(table, "rectForSection:"_sel, NSInteger(0)), CGRectMake(0, 0, 220, 88));
    EXPECT_EQ(objc_msgSend<CGRect>(table, "rectForSection:"_sel, NSInteger(1)), CGRectMake(0, 88, 220, 0));
    EXPECT_EQ(objc_msgSend<CGRect>(table, "rectForSection:"_sel, NSInteger(2)), CGRectMake(0, 88, 220, 44));
    EXPECT_EQ(table->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 2).ptr()), CGRectMake(0, 88, 220, 44));
    EXPECT_EQ(objc_msgSend<CGRect>(table, "rectForSection:"_sel, NSInteger(3)), CGRectZero);

    // The answers change only when the table reloads.
    sectioned->rowCounts = { 1 };
    EXPECT_EQ(objc_msgSend<NSInteger>(table, "numberOfSections"_sel), 3);
    objc_msgSend<void>(table, "reloadData"_sel);
    EXPECT_EQ(objc_msgSend<NSInteger>(table, "numberOfSections"_sel), 1);

    // Without numberOfSectionsInTableView: there is one section.
    auto single = adoptObject(new ListSource);
    single->rowCounts = { 3, 5 };
    auto plain = makeTable(single.ptr(), CGRectZero);
    objc_msgSend<void>(plain, "reloadData"_sel);
    EXPECT_EQ(objc_msgSend<NSInteger>(plain, "numberOfSections"_sel), 1);
    EXPECT_EQ(objc_msgSend<NSInteger>(plain, "numberOfRowsInSection:"_sel, NSInteger(0)), 3);
}

TEST(TableView, LastSectionsBottomEdgeIsTheListsHeight)
{
    AutoreleasePool pool;
    auto source = adoptObject(new SectionedSource);
    for (NSInteger rows : { 1, 2 }) {
        source->rowCounts = { rows };
        auto table = makeTable(source.ptr(), CGRectZero);
        objc_msgSend<void>(table, "reloadData"_sel);
        EXPECT_EQ(bottomOfLastSection(table), 44.0 * rows);
        EXPECT_EQ(objc_msgSend<CGSize>(table, "contentSize"_sel), CGSizeMake(0, 44.0 * rows));
    }
    // A table with a zero frame shows no cells and asks for none.
    auto table = makeTable(source.ptr(), CGRectZero);
    objc_msgSend<void>(table, "reloadData"_sel);
    objc_msgSend<void>(table, "layoutSubviews"_sel);
    EXPECT_TRUE(cellsOf(table).empty());
    EXPECT_EQ(source->cellRequests, 0);
}

TEST(TableView, LaysOutOneCellPerVisibleRowAfterTheDataSourceConfiguredIt)
{
    AutoreleasePool pool;
    auto source = adoptObject(new SectionedSource);
    source->rowCounts = { 3 };
    auto table = makeTable(source.ptr(), CGRectMake(0, 0, 220, 70));
    objc_msgSend<void>(table, "reloadData"_sel);
    objc_msgSend<void>(table, "layoutSubviews"_sel);

    // Rows 0 and 1 reach into the 70-point-high table; row 2 does not.
    auto cells = cellsOf(table);
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_EQ(source->cellRequests, 2);
    for (size_t row = 0; row < cells.size(); ++row) {
        EXPECT_EQ(cells[row]->frame(), CGRectMake(0, 44.0 * row, 220, 44));
        EXPECT_EQ(cells[row]->superview(), table.ptr());
        // The content view had the new cell's default size while the data
        // source configured it, and the row's size (above the separator) after.
        EXPECT_EQ(source->configuredContentBounds[row], CGRectMake(0, 0, 320, 44));
        EXPECT_EQ(cells[row]->contentView()->frame(), CGRectMake(0, 0, 220, 43.5));
    }
    EXPECT_EQ(table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(1, 0).ptr()), cells[1]);
    EXPECT_EQ(table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(2, 0).ptr()), nullptr);
    EXPECT_TRUE(table->indexPathForCell(cells[1])->isEqual(NSIndexPath::indexPathForRow(1, 0).ptr()));

    // Laying out again asks for nothing new; growing the table does.
    objc_msgSend<void>(table, "layoutSubviews"_sel);
    EXPECT_EQ(source->cellRequests, 2);
    table->setFrame(CGRectMake(0, 0, 300, 200));
    EXPECT_EQ(cellsOf(table).size(), 3u);
    EXPECT_EQ(source->cellRequests, 3);
    EXPECT_EQ(cells[0]->frame(), CGRectMake(0, 0, 300, 44));
}

TEST(TableView, ReloadHandsThePreviousCellsBackByReuseIdentifierOnce)
{
    AutoreleasePool pool;
    auto source = adoptObject(new SectionedSource);
    source->rowCounts = { 2 };
    auto table = makeTable(source.ptr(), CGRectMake(0, 0, 220, 88));
    objc_msgSend<void>(table, "reloadData"_sel);
    auto first = cellsOf(table);
    ASSERT_EQ(first.size(), 2u);
    Ref<UITableViewCell> keep0(*first[0]), keep1(*first[1]);
    EXPECT_EQ(objc_msgSend<NSString*>(keep1.ptr(), "reuseIdentifier"_sel)->string(), "Row1");

    objc_msgSend<void>(table, "reloadData"_sel);
    EXPECT_EQ(keep0->superview(), nullptr); // queued, off the table
    auto second = cellsOf(table);
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(source->reused, 2);
    EXPECT_EQ(second[0], keep0.ptr());
    EXPECT_EQ(second[1], keep1.ptr());
    // A reused cell keeps the size the table gave it.
    EXPECT_EQ(source->configuredContentBounds[3], CGRectMake(0, 0, 220, 43.5));

    // Each queued cell is handed out once, and only for its identifier.
    objc_msgSend<void>(table, "reloadData"_sel);
    EXPECT_EQ(table->dequeueReusableCellWithIdentifier("Row0"_ns).get(), keep0.ptr());
    EXPECT_EQ(table->dequeueReusableCellWithIdentifier("Row0"_ns).get(), nullptr);
    EXPECT_EQ(table->dequeueReusableCellWithIdentifier("Row7"_ns).get(), nullptr);

    // Cells without an identifier are never reused.
    source->useIdentifiers = false;
    source->reused = 0;
    objc_msgSend<void>(table, "reloadData"_sel);
    cellsOf(table);
    objc_msgSend<void>(table, "reloadData"_sel);
    cellsOf(table);
    EXPECT_EQ(source->reused, 0);
}

TEST(TableView, ANilCellIsAnAssertionFailure)
{
    AutoreleasePool pool;
    auto source = adoptObject(new SectionedSource);
    source->returnNil = true;
    auto table = makeTable(source.ptr(), CGRectMake(0, 0, 220, 88));
    objc_msgSend<void>(table, "reloadData"_sel);
    try {
        objc_msgSend<void>(table, "layoutSubviews"_sel);
        ADD_FAILURE() << "no exception";
    } catch (NSException* exception) {
        EXPECT_EQ(exception->name()->string(), "NSInternalInconsistencyException");
        EXPECT_EQ(exception->reason()->string(), "UITableView dataSource must return a cell from tableView:cellForRowAtIndexPath:");
    }
    // The table is still usable once the data source behaves.
    source->returnNil = false;
    EXPECT_EQ(cellsOf(table).size(), 2u);
}

TEST(TableViewCell, AccessoryViewSitsAtTheRightEdgeAndTheContentViewMakesRoom)
{
    AutoreleasePool pool;
    auto cell = UITableViewCell::create(UITableViewCellStyleDefault, "Row1"_ns);
    EXPECT_EQ(cell->frame(), CGRectMake(0, 0, 320, 44));
    EXPECT_EQ(cell->contentView()->superview(), cell.ptr());
    EXPECT_EQ(cell->contentView()->frame(), CGRectMake(0, 0, 320, 44));
    // The text label is made on first use, inside the content view.
    auto* label = objc_msgSend<UILabel*>(cell, "textLabel"_sel);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->superview(), cell->contentView());
    EXPECT_EQ(objc_msgSend<UILabel*>(cell, "textLabel"_sel), label);

    auto toggle = UIView::create(CGRectMake(0, 0, 51, 31));
    auto source = adoptObject(new SectionedSource);
    source->rowCounts = { 1 };
    source->accessory = toggle;
    auto table = makeTable(source.ptr(), CGRectMake(0, 0, 220, 44));
    auto cells = cellsOf(table);
    ASSERT_EQ(cells.size(), 1u);
    EXPECT_EQ(toggle->superview(), cells[0]);
    CGRect accessory = toggle->frame();
    EXPECT_EQ(accessory.size, CGSizeMake(51, 31));
    EXPECT_EQ(CGRectGetMaxX(accessory), 220 - 15);
    CGRect content = cells[0]->contentView()->frame();
    EXPECT_NEAR(CGRectGetMidY(accessory), CGRectGetMidY(content), 0.25);
    EXPECT_LE(CGRectGetMaxX(content), CGRectGetMinX(accessory));
    EXPECT_GT(content.size.width, 100);
    EXPECT_EQ(content.origin, CGPointZero);

    // Removing the accessory gives the content view the whole width again.
    objc_msgSend<void>(cells[0], "setAccessoryView:"_sel, nullptr);
    EXPECT_EQ(toggle->superview(), nullptr);
    objc_msgSend<void>(cells[0], "layoutSubviews"_sel);
    EXPECT_EQ(cells[0]->contentView()->frame().size.width, 220);
}
