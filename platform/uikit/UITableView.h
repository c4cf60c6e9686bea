// UITableView and UITableViewCell: a vertical list of rows in sections.
//
// The table asks its data source and delegate (not owned; any objects) by
// runtime messages only, as UIKit does:
//   numberOfSectionsInTableView:        optional, 1 when absent
//   tableView:numberOfRowsInSection:     required
//   tableView:cellForRowAtIndexPath:     required; nil is an assertion
//                                        failure (NSInternalInconsistencyException)
//   tableView:titleForHeaderInSection:, tableView:titleForFooterInSection:,
//   tableView:heightForRowAtIndexPath:, tableView:heightForHeaderInSection:,
//   tableView:heightForFooterInSection:, tableView:willDisplayCell:forRowAtIndexPath:
//                                        optional
//
// Timing follows UIKit: -reloadData asks for the counts at once (and drops
// the visible cells into the reuse queue), but cells are asked for only when
// the table lays out (-layoutSubviews), or when -cellForRowAtIndexPath:,
// -visibleCells and the like need them, and only for rows inside the
// table's bounds. A new cell has its default size (320 x 44) while the data
// source configures it; the table sizes it to the row afterwards and lays it
// out.
#pragma once

#include "foundation/NSCollections.h"
#include "foundation/NSIndexPath.h"
#include "uikit/UILabel.h"

#include <map>
#include <utility>
#include <vector>

inline constexpr NSInteger UITableViewStylePlain = 0;
inline constexpr NSInteger UITableViewStyleGrouped = 1;

inline constexpr NSInteger UITableViewCellStyleDefault = 0;
inline constexpr NSInteger UITableViewCellStyleValue1 = 1;
inline constexpr NSInteger UITableViewCellStyleValue2 = 2;
inline constexpr NSInteger UITableViewCellStyleSubtitle = 3;

inline constexpr NSInteger UITableViewCellAccessoryNone = 0;
inline constexpr NSInteger UITableViewCellAccessoryDisclosureIndicator = 1;
inline constexpr NSInteger UITableViewCellAccessoryDetailDisclosureButton = 2;
inline constexpr NSInteger UITableViewCellAccessoryCheckmark = 3;
inline constexpr NSInteger UITableViewCellAccessoryDetailButton = 4;

inline constexpr NSInteger UITableViewCellSelectionStyleNone = 0;
inline constexpr NSInteger UITableViewCellSelectionStyleBlue = 1;
inline constexpr NSInteger UITableViewCellSelectionStyleGray = 2;
inline constexpr NSInteger UITableViewCellSelectionStyleDefault = 3;

inline constexpr NSInteger UITableViewCellSeparatorStyleNone = 0;
inline constexpr NSInteger UITableViewCellSeparatorStyleSingleLine = 1;

inline constexpr CGFloat UITableViewDefaultRowHeight = 44;

class UITableView;

class PLATFORM_EXPORT UITableViewCell : public UIView {
    OBJC_CLASS(UITableViewCell)
public:
    static Ref<UITableViewCell> create(NSInteger style = UITableViewCellStyleDefault, NSString* reuseIdentifier = nullptr);
    // A new cell is 320 x 44 points, its content view filling it.
    UITableViewCell* initWithStyle(NSInteger style, NSString* reuseIdentifier);
    UITableViewCell* initWithFrame(CGRect frame) override;
    UITableViewCell* init();

    NSInteger style() const noexcept { return m_style; }
    NSString* reuseIdentifier() const noexcept { return m_reuseIdentifier.get(); }
    UIView* contentView() const noexcept { return m_contentView.get(); }
    // Made on first use, in the content view.
    UILabel* textLabel();

    NSInteger accessoryType() const noexcept { return m_accessoryType; }
    void setAccessoryType(NSInteger type) { m_accessoryType = type; }
    // Shown at the right edge, centred vertically; the content view leaves
    // room for it. Replaces the accessory type's own view.
    UIView* accessoryView() const noexcept { return m_accessoryView.get(); }
    void setAccessoryView(UIView* view);
    NSInteger selectionStyle() const noexcept { return m_selectionStyle; }
    void setSelectionStyle(NSInteger style) { m_selectionStyle = style; }
    BOOL isSelected() const noexcept { return m_selected; }
    void setSelected(BOOL selected) { m_selected = selected; }
    UIEdgeInsets layoutMargins() const noexcept { return m_layoutMargins; }
    void setLayoutMargins(UIEdgeInsets margins) { m_layoutMargins = margins; }
    BOOL preservesSuperviewLayoutMargins() const noexcept { return m_preservesSuperviewLayoutMargins; }
    void setPreservesSuperviewLayoutMargins(BOOL preserves) { m_preservesSuperviewLayoutMargins = preserves; }

    // Sent when the table takes the cell from its reuse queue.
    void prepareForReuse() { m_selected = NO; }
    // Places the content view, the accessory view and the text label.
    void layoutSubviews() override;

    ~UITableViewCell() override;

protected:
    UITableViewCell();

private:
    friend class UITableView;
    void setUp(NSInteger style, NSString* reuseIdentifier);

    NSInteger m_style = UITableViewCellStyleDefault;
    RefPtr<NSString> m_reuseIdentifier;
    RefPtr<UIView> m_contentView;
    RefPtr<UILabel> m_textLabel;
    RefPtr<UIView> m_accessoryView;
    NSInteger m_accessoryType = UITableViewCellAccessoryNone;
    NSInteger m_selectionStyle;
    UIEdgeInsets m_layoutMargins { 8, 15, 8, 15 };
    BOOL m_preservesSuperviewLayoutMargins = YES;
    BOOL m_selected = NO;
    // The separator line at the bottom, which the content view stays above;
    // set by the table.
    CGFloat m_separatorHeight = 0;
    bool m_inViewLayout = false;
};

class PLATFORM_EXPORT UITableView : public UIView {
    OBJC_CLASS(UITableView)
public:
    static Ref<UITableView> create(CGRect frame = CGRectZero, NSInteger style = UITableViewStylePlain);
    UITableView* initWithFrameStyle(CGRect frame, NSInteger style);
    UITableView* initWithFrame(CGRect frame) override { return initWithFrameStyle(frame, UITableViewStylePlain); }
    UITableView* init() { return initWithFrameStyle(CGRectZero, UITableViewStylePlain); }

    NSInteger style() const noexcept { return m_style; }
    id dataSource() const noexcept { return m_dataSource; }
    void setDataSource(id dataSource) { m_dataSource = dataSource; }
    id delegate() const noexcept { return m_delegate; }
    void setDelegate(id delegate) { m_delegate = delegate; }

    CGFloat rowHeight() const noexcept { return m_rowHeight; }
    void setRowHeight(CGFloat height) { m_rowHeight = height; }
    // Heights of titled headers and footers (a plain table's untitled ones
    // have none).
    CGFloat sectionHeaderHeight() const noexcept { return m_sectionHeaderHeight; }
    void setSectionHeaderHeight(CGFloat height) { m_sectionHeaderHeight = height; }
    CGFloat sectionFooterHeight() const noexcept { return m_sectionFooterHeight; }
    void setSectionFooterHeight(CGFloat height) { m_sectionFooterHeight = height; }

    void reloadData();
    NSInteger numberOfSections();
    NSInteger numberOfRowsInSection(NSInteger section);
    // In the table's content coordinates: x 0, the table's width. CGRectZero
    // for a section or row that does not exist.
    CGRect rectForSection(NSInteger section);
    CGRect rectForRowAtIndexPath(NSIndexPath* indexPath);
    // The visible cell of the row, or nil.
    UITableViewCell* cellForRowAtIndexPath(NSIndexPath* indexPath);
    Ref<NSArray> visibleCells();
    Ref<NSArray> indexPathsForVisibleRows();
    RefPtr<NSIndexPath> indexPathForCell(UITableViewCell* cell);
    // A cell from the reuse queue with this identifier (each handed out
    // once), or nil.
    RefPtr<UITableViewCell> dequeueReusableCellWithIdentifier(NSString* identifier);
    // The size of all sections together.
    CGSize contentSize();

    UIEdgeInsets separatorInset() const noexcept { return m_separatorInset; }
    void setSeparatorInset(UIEdgeInsets insets) { m_separatorInset = insets; }
    NSInteger separatorStyle() const noexcept { return m_separatorStyle; }
    void setSeparatorStyle(NSInteger style) { m_separatorStyle = style; }
    BOOL isScrollEnabled() const noexcept { return m_scrollEnabled; }
    void setScrollEnabled(BOOL enabled) { m_scrollEnabled = enabled; }
    BOOL allowsSelection() const noexcept { return m_allowsSelection; }
    void setAllowsSelection(BOOL allows) { m_allowsSelection = allows; }
    BOOL allowsMultipleSelection() const noexcept { return m_allowsMultipleSelection; }
    void setAllowsMultipleSelection(BOOL allows) { m_allowsMultipleSelection = allows; }

    // Asks for the cells of the rows inside the bounds and lays them out.
    void layoutSubviews() override;

    ~UITableView() override;

protected:
    UITableView();

private:
    struct Section {
        CGFloat y = 0;
        CGFloat headerHeight = 0;
        CGFloat footerHeight = 0;
        std::vector<CGFloat> rowHeights;
        CGFloat height = 0;
    };
    using RowKey = std::pair<NSInteger, NSInteger>; // section, row

    const std::vector<Section>& rowData();
    void updateRowData();
    CGFloat titledHeight(NSInteger section, bool header);
    CGRect rowRect(RowKey key);
    bool rowExists(RowKey key);
    void updateVisibleCells();
    void enqueueReusableCell(UITableViewCell* cell);
    void layOutCell(UITableViewCell* cell, RowKey key);

    NSInteger m_style = UITableViewStylePlain;
    id m_dataSource = nullptr; // not owned
    id m_delegate = nullptr;   // not owned
    CGFloat m_rowHeight = UITableViewDefaultRowHeight;
    CGFloat m_sectionHeaderHeight = 22;
    CGFloat m_sectionFooterHeight = 22;
    UIEdgeInsets m_separatorInset { 0, 15, 0, 0 };
    NSInteger m_separatorStyle = UITableViewCellSeparatorStyleSingleLine;
    BOOL m_scrollEnabled = YES;
    BOOL m_allowsSelection = YES;
    BOOL m_allowsMultipleSelection = NO;

    std::vector<Section> m_sections;
    bool m_hasRowData = false;
    bool m_updatingRowData = false;
    bool m_updatingCells = false;
    bool m_inViewLayout = false;
    std::map<RowKey, Ref<UITableViewCell>> m_visibleCells;
    std::vector<Ref<UITableViewCell>> m_reusableCells;
};
