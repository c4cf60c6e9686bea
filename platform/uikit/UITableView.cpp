#include "uikit/UITableView.h"

#include "device/Device.h"
#include "foundation/NSAssertionHandler.h"

#include <algorithm>
#include <cmath>

namespace {

// Cell geometry (iOS 7 and later, approximately): the accessory sits 15
// points from the right edge; the content view ends 10 points before it.
constexpr CGFloat kAccessoryRightMargin = 15;
constexpr CGFloat kAccessorySpacing = 10;
// A separator line is one pixel; devices of iOS 7 and later are 2x at least.
constexpr CGFloat kSeparatorHeight = 0.5;
constexpr CGRect kDefaultCellFrame { { 0, 0 }, { 320, UITableViewDefaultRowHeight } };

// Widths of the standard accessories when no accessory view is set.
CGFloat standardAccessoryWidth(NSInteger type)
{
    switch (type) {
    case UITableViewCellAccessoryDisclosureIndicator:
        return 8;
    case UITableViewCellAccessoryDetailDisclosureButton:
        return 40;
    case UITableViewCellAccessoryCheckmark:
        return 14;
    case UITableViewCellAccessoryDetailButton:
        return 22;
    default:
        return 0;
    }
}

// Rounds to the nearest pixel at 2x, as UIKit aligns what it centres.
CGFloat pixelRound(CGFloat value)
{
    return std::round(value * 2) / 2;
}

bool isKindOf(id object, Class cls)
{
    return object && class_isSubclassOf(object_getClass(object), cls);
}

// Runs UIView's own -layoutSubviews, when UIView has one; returns false when
// called back from it. The flag stops a bounce into the override, should
// UIView's implementation dispatch through a C++ virtual function.
bool layOutAsAView(UIView* view, bool& inSuper)
{
    if (inSuper)
        return false;
    if (!class_respondsToSelector(UIView::staticClass(), "layoutSubviews"_sel))
        return true;
    inSuper = true;
    try {
        objc_msgSendSuper<void>(view, UIView::staticClass(), "layoutSubviews"_sel);
    } catch (...) {
        inSuper = false;
        throw;
    }
    inSuper = false;
    return true;
}

} // namespace

// MARK: UITableViewCell

Class UITableViewCell::staticClass()
{
    static Class cls = ClassBuilder<UITableViewCell>("UITableViewCell", UIView::staticClass())
                           .method<&UITableViewCell::initWithStyle>("initWithStyle:reuseIdentifier:")
                           .method<&UITableViewCell::initWithFrame>("initWithFrame:")
                           .method<&UITableViewCell::init>("init")
                           .method<&UITableViewCell::style>("style")
                           .method<&UITableViewCell::reuseIdentifier>("reuseIdentifier")
                           .method<&UITableViewCell::contentView>("contentView")
                           .method<&UITableViewCell::textLabel>("textLabel")
                           .method<&UITableViewCell::accessoryType>("accessoryType")
                           .method<&UITableViewCell::setAccessoryType>("setAccessoryType:")
                           .method<&UITableViewCell::accessoryView>("accessoryView")
                           .method<&UITableViewCell::setAccessoryView>("setAccessoryView:")
                           .method<&UITableViewCell::selectionStyle>("selectionStyle")
                           .method<&UITableViewCell::setSelectionStyle>("setSelectionStyle:")
                           .method<&UITableViewCell::isSelected>("isSelected")
                           .method<&UITableViewCell::setSelected>("setSelected:")
                           .method<&UITableViewCell::layoutMargins>("layoutMargins")
                           .method<&UITableViewCell::setLayoutMargins>("setLayoutMargins:")
                           .method<&UITableViewCell::preservesSuperviewLayoutMargins>("preservesSuperviewLayoutMargins")
                           .method<&UITableViewCell::setPreservesSuperviewLayoutMargins>("setPreservesSuperviewLayoutMargins:")
                           .method<&UITableViewCell::prepareForReuse>("prepareForReuse")
                           .method<&UITableViewCell::layoutSubviews>("layoutSubviews")
                           .build();
    return cls;
}

// iOS 7 introduced the default selection style; before it, cells selected blue.
UITableViewCell::UITableViewCell()
    : m_selectionStyle(device::systemVersion().major >= 7 ? UITableViewCellSelectionStyleDefault : UITableViewCellSelectionStyleBlue)
{
    setBackgroundColor(UIColor::whiteColor());
}

UITableViewCell::~UITableViewCell() = default;

Ref<UITableViewCell> UITableViewCell::create(NSInteger style, NSString* reuseIdentifier)
{
    auto cell = adoptObject(new UITableViewCell);
    cell->initWithStyle(style, reuseIdentifier);
    return cell;
}

UITableViewCell* UITableViewCell::initWithStyle(NSInteger style, NSString* reuseIdentifier)
{
    setFrame(kDefaultCellFrame);
    setUp(style, reuseIdentifier);
    return this;
}

UITableViewCell* UITableViewCell::initWithFrame(CGRect frame)
{
    setFrame(frame);
    setUp(UITableViewCellStyleDefault, nullptr);
    return this;
}

UITableViewCell* UITableViewCell::init()
{
    return initWithStyle(UITableViewCellStyleDefault, nullptr);
}

void UITableViewCell::setUp(NSInteger style, NSString* reuseIdentifier)
{
    m_style = style;
    m_reuseIdentifier = reuseIdentifier ? NSString::create(reuseIdentifier->view()).ptr() : nullptr;
    if (!m_contentView) {
        CGRect bounds = this->bounds();
        m_contentView = UIView::create(CGRectMake(0, 0, bounds.size.width, bounds.size.height));
        addSubview(m_contentView.get());
    }
}

UILabel* UITableViewCell::textLabel()
{
    if (!m_textLabel) {
        m_textLabel = UILabel::create();
        if (m_contentView)
            m_contentView->addSubview(m_textLabel.get());
    }
    return m_textLabel.get();
}

void UITableViewCell::setAccessoryView(UIView* view)
{
    if (view == m_accessoryView.get())
        return;
    if (m_accessoryView && m_accessoryView->superview() == this)
        m_accessoryView->removeFromSuperview();
    m_accessoryView = view;
    if (view)
        addSubview(view);
}

void UITableViewCell::layoutSubviews()
{
    if (!layOutAsAView(this, m_inViewLayout))
        return;

    CGRect bounds = this->bounds();
    CGFloat contentHeight = std::max<CGFloat>(0, bounds.size.height - m_separatorHeight);
    CGFloat contentWidth = bounds.size.width;

    CGFloat accessoryWidth = m_accessoryView ? m_accessoryView->bounds().size.width : standardAccessoryWidth(m_accessoryType);
    if (m_accessoryView || accessoryWidth > 0) {
        CGFloat x = bounds.size.width - kAccessoryRightMargin - accessoryWidth;
        if (m_accessoryView) {
            CGSize size = m_accessoryView->bounds().size;
            m_accessoryView->setFrame(CGRectMake(x, pixelRound((contentHeight - size.height) / 2), size.width, size.height));
        }
        contentWidth = std::max<CGFloat>(0, x - kAccessorySpacing);
    }
    if (m_contentView)
        m_contentView->setFrame(CGRectMake(0, 0, contentWidth, contentHeight));

    if (m_textLabel) {
        CGFloat left = m_layoutMargins.left;
        CGFloat right = m_accessoryView || accessoryWidth > 0 ? 0 : m_layoutMargins.right;
        m_textLabel->setFrame(CGRectMake(left, 0, std::max<CGFloat>(0, contentWidth - left - right), contentHeight));
    }
}

// MARK: UITableView

Class UITableView::staticClass()
{
    static Class cls = ClassBuilder<UITableView>("UITableView", UIView::staticClass())
                           .method<&UITableView::initWithFrameStyle>("initWithFrame:style:")
                           .method<&UITableView::initWithFrame>("initWithFrame:")
                           .method<&UITableView::init>("init")
                           .method<&UITableView::style>("style")
                           .method<&UITableView::dataSource>("dataSource")
                           .method<&UITableView::setDataSource>("setDataSource:")
                           .method<&UITableView::delegate>("delegate")
                           .method<&UITableView::setDelegate>("setDelegate:")
                           .method<&UITableView::rowHeight>("rowHeight")
                           .method<&UITableView::setRowHeight>("setRowHeight:")
                           .method<&UITableView::sectionHeaderHeight>("sectionHeaderHeight")
                           .method<&UITableView::setSectionHeaderHeight>("setSectionHeaderHeight:")
                           .method<&UITableView::sectionFooterHeight>("sectionFooterHeight")
                           .method<&UITableView::setSectionFooterHeight>("setSectionFooterHeight:")
                           .method<&UITableView::reloadData>("reloadData")
                           .method<&UITableView::numberOfSections>("numberOfSections")
                           .method<&UITableView::numberOfRowsInSection>("numberOfRowsInSection:")
                           .method<&UITableView::rectForSection>("rectForSection:")
                           .method<&UITableView::rectForRowAtIndexPath>("rectForRowAtIndexPath:")
                           .method<&UITableView::cellForRowAtIndexPath>("cellForRowAtIndexPath:")
                           .method<&UITableView::visibleCells>("visibleCells")
                           .method<&UITableView::indexPathsForVisibleRows>("indexPathsForVisibleRows")
                           .method<&UITableView::indexPathForCell>("indexPathForCell:")
                           .method<&UITableView::dequeueReusableCellWithIdentifier>("dequeueReusableCellWithIdentifier:")
                           .method<&UITableView::contentSize>("contentSize")
                           .method<&UITableView::separatorInset>("separatorInset")
                           .method<&UITableView::setSeparatorInset>("setSeparatorInset:")
                           .method<&UITableView::separatorStyle>("separatorStyle")
                           .method<&UITableView::setSeparatorStyle>("setSeparatorStyle:")
                           .method<&UITableView::isScrollEnabled>("isScrollEnabled")
                           .method<&UITableView::setScrollEnabled>("setScrollEnabled:")
                           .method<&UITableView::allowsSelection>("allowsSelection")
                           .method<&UITableView::setAllowsSelection>("setAllowsSelection:")
                           .method<&UITableView::allowsMultipleSelection>("allowsMultipleSelection")
                           .method<&UITableView::setAllowsMultipleSelection>("setAllowsMultipleSelection:")
                           .method<&UITableView::layoutSubviews>("layoutSubviews")
                           .build();
    return cls;
}

UITableView::UITableView()
{
    setBackgroundColor(UIColor::whiteColor());
}

UITableView::~UITableView() = default;

Ref<UITableView> UITableView::create(CGRect frame, NSInteger style)
{
    auto table = adoptObject(new UITableView);
    table->initWithFrameStyle(frame, style);
    return table;
}

UITableView* UITableView::initWithFrameStyle(CGRect frame, NSInteger style)
{
    setFrame(frame);
    m_style = style;
    return this;
}

void UITableView::reloadData()
{
    Ref<UITableView> protectedThis(*this);
    // The queue keeps the cells of the previous load only.
    m_reusableCells.clear();
    auto visible = std::move(m_visibleCells);
    m_visibleCells.clear();
    for (auto& [key, cell] : visible)
        enqueueReusableCell(cell.ptr());
    m_hasRowData = false;
    updateRowData();
}

const std::vector<UITableView::Section>& UITableView::rowData()
{
    if (!m_hasRowData)
        updateRowData();
    return m_sections;
}

CGFloat UITableView::titledHeight(NSInteger section, bool header)
{
    SEL heightSelector = header ? "tableView:heightForHeaderInSection:"_sel : "tableView:heightForFooterInSection:"_sel;
    if (objc_respondsToSelector(m_delegate, heightSelector))
        return std::max<CGFloat>(0, objc_msgSend<CGFloat>(m_delegate, heightSelector, this, section));
    SEL titleSelector = header ? "tableView:titleForHeaderInSection:"_sel : "tableView:titleForFooterInSection:"_sel;
    bool titled = objc_respondsToSelector(m_dataSource, titleSelector) && objc_msgSend<id>(m_dataSource, titleSelector, this, section);
    // Grouped tables space their sections even without titles (approximately
    // by the same heights).
    if (titled || m_style == UITableViewStyleGrouped)
        return header ? m_sectionHeaderHeight : m_sectionFooterHeight;
    return 0;
}

void UITableView::updateRowData()
{
    if (m_updatingRowData)
        return;
    Ref<UITableView> protectedThis(*this);
    m_updatingRowData = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset { m_updatingRowData };

    std::vector<Section> sections;
    NSInteger count = 1;
    if (objc_respondsToSelector(m_dataSource, "numberOfSectionsInTableView:"_sel))
        count = std::max<NSInteger>(0, objc_msgSend<NSInteger>(m_dataSource, "numberOfSectionsInTableView:"_sel, this));
    CGFloat y = 0;
    for (NSInteger index = 0; index < count; ++index) {
        Section section;
        section.y = y;
        NSInteger rows = 0;
        if (m_dataSource)
            rows = std::max<NSInteger>(0, objc_msgSend<NSInteger>(m_dataSource, "tableView:numberOfRowsInSection:"_sel, this, index));
        section.headerHeight = titledHeight(index, true);
        bool askHeights = objc_respondsToSelector(m_delegate, "tableView:heightForRowAtIndexPath:"_sel);
        section.rowHeights.reserve(rows);
        CGFloat rowsHeight = 0;
        for (NSInteger row = 0; row < rows; ++row) {
            CGFloat height = m_rowHeight;
            if (askHeights) {
                auto indexPath = NSIndexPath::indexPathForRow(row, index);
                height = std::max<CGFloat>(0, objc_msgSend<CGFloat>(m_delegate, "tableView:heightForRowAtIndexPath:"_sel, this, indexPath.ptr()));
            }
            section.rowHeights.push_back(height);
            rowsHeight += height;
        }
        section.footerHeight = titledHeight(index, false);
        section.height = section.headerHeight + rowsHeight + section.footerHeight;
        y += section.height;
        sections.push_back(std::move(section));
    }
    m_sections = std::move(sections);
    m_hasRowData = true;
}

NSInteger UITableView::numberOfSections()
{
    return static_cast<NSInteger>(rowData().size());
}

NSInteger UITableView::numberOfRowsInSection(NSInteger section)
{
    const auto& sections = rowData();
    if (section < 0 || section >= static_cast<NSInteger>(sections.size()))
        return 0;
    return static_cast<NSInteger>(sections[section].rowHeights.size());
}

CGRect UITableView::rectForSection(NSInteger section)
{
    const auto& sections = rowData();
    if (section < 0 || section >= static_cast<NSInteger>(sections.size()))
        return CGRectZero;
    return CGRectMake(0, sections[section].y, bounds().size.width, sections[section].height);
}

bool UITableView::rowExists(RowKey key)
{
    const auto& sections = rowData();
    return key.first >= 0 && key.first < static_cast<NSInteger>(sections.size()) && key.second >= 0
        && key.second < static_cast<NSInteger>(sections[key.first].rowHeights.size());
}

CGRect UITableView::rowRect(RowKey key)
{
    if (!rowExists(key))
        return CGRectZero;
    const Section& section = m_sections[key.first];
    CGFloat y = section.y + section.headerHeight;
    for (NSInteger row = 0; row < key.second; ++row)
        y += section.rowHeights[row];
    return CGRectMake(0, y, bounds().size.width, section.rowHeights[key.second]);
}

CGRect UITableView::rectForRowAtIndexPath(NSIndexPath* indexPath)
{
    if (!indexPath)
        return CGRectZero;
    return rowRect({ indexPath->section(), indexPath->row() });
}

CGSize UITableView::contentSize()
{
    const auto& sections = rowData();
    CGFloat height = sections.empty() ? 0 : sections.back().y + sections.back().height;
    return CGSizeMake(bounds().size.width, height);
}

void UITableView::enqueueReusableCell(UITableViewCell* cell)
{
    Ref<UITableViewCell> protectedCell(*cell);
    if (cell->superview() == this)
        cell->removeFromSuperview();
    if (cell->reuseIdentifier())
        m_reusableCells.push_back(protectedCell);
}

RefPtr<UITableViewCell> UITableView::dequeueReusableCellWithIdentifier(NSString* identifier)
{
    if (!identifier)
        return nullptr;
    auto it = std::find_if(m_reusableCells.begin(), m_reusableCells.end(),
        [identifier](const Ref<UITableViewCell>& cell) { return cell->reuseIdentifier()->isEqualToString(identifier); });
    if (it == m_reusableCells.end())
        return nullptr;
    Ref<UITableViewCell> cell = *it;
    m_reusableCells.erase(it);
    objc_msgSend<void>(cell.ptr(), "prepareForReuse"_sel);
    return cell;
}

void UITableView::layOutCell(UITableViewCell* cell, RowKey key)
{
    cell->setFrame(rowRect(key));
    cell->m_separatorHeight = m_separatorStyle == UITableViewCellSeparatorStyleNone ? 0 : kSeparatorHeight;
    objc_msgSend<void>(cell, "layoutSubviews"_sel);
}

void UITableView::updateVisibleCells()
{
    if (m_updatingCells)
        return;
    Ref<UITableView> protectedThis(*this);
    m_updatingCells = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset { m_updatingCells };

    rowData();
    CGRect visible = bounds();

    // Cells of rows that went away or out of sight go to the reuse queue.
    for (auto it = m_visibleCells.begin(); it != m_visibleCells.end();) {
        if (rowExists(it->first) && CGRectIntersectsRect(rowRect(it->first), visible)) {
            ++it;
            continue;
        }
        Ref<UITableViewCell> cell = it->second;
        it = m_visibleCells.erase(it);
        enqueueReusableCell(cell.ptr());
    }

    std::vector<RowKey> visibleRows;
    for (NSInteger section = 0; section < static_cast<NSInteger>(m_sections.size()); ++section) {
        const Section& data = m_sections[section];
        CGFloat y = data.y + data.headerHeight;
        for (NSInteger row = 0; row < static_cast<NSInteger>(data.rowHeights.size()); ++row) {
            CGRect rect = CGRectMake(0, y, visible.size.width, data.rowHeights[row]);
            if (CGRectIntersectsRect(rect, visible))
                visibleRows.push_back({ section, row });
            y += data.rowHeights[row];
        }
    }

    for (RowKey key : visibleRows) {
        if (!rowExists(key))
            break; // the data source reloaded meanwhile
        if (auto it = m_visibleCells.find(key); it != m_visibleCells.end()) {
            layOutCell(it->second.ptr(), key);
            continue;
        }
        auto indexPath = NSIndexPath::indexPathForRow(key.second, key.first);
        id result = objc_msgSend<id>(m_dataSource, "tableView:cellForRowAtIndexPath:"_sel, this, indexPath.ptr());
        if (!isKindOf(result, UITableViewCell::staticClass())) {
            // The device reports this through its assertion handler (the
            // method, file and line are those of one UIKit build).
            objc_msgSend<void>(NSAssertionHandler::currentHandler(), "handleFailureInMethod:object:file:lineNumber:description:"_sel,
                "_configureCellForDisplay:forIndexPath:"_sel, this, "/SourceCache/UIKit/UIKit-3347.44/UITableView.m"_ns, NSInteger(7344),
                "UITableView dataSource must return a cell from tableView:cellForRowAtIndexPath:"_ns);
        }
        auto* cell = static_cast<UITableViewCell*>(result);
        m_visibleCells.emplace(key, Ref<UITableViewCell>(*cell));
        addSubview(cell);
        layOutCell(cell, key);
        if (objc_respondsToSelector(m_delegate, "tableView:willDisplayCell:forRowAtIndexPath:"_sel))
            objc_msgSend<void>(m_delegate, "tableView:willDisplayCell:forRowAtIndexPath:"_sel, this, cell, indexPath.ptr());
    }
}

void UITableView::layoutSubviews()
{
    if (!layOutAsAView(this, m_inViewLayout))
        return;
    updateVisibleCells();
}

UITableViewCell* UITableView::cellForRowAtIndexPath(NSIndexPath* indexPath)
{
    if (!indexPath)
        return nullptr;
    updateVisibleCells();
    auto it = m_visibleCells.find({ indexPath->section(), indexPath->row() });
    return it == m_visibleCells.end() ? nullptr : it->second.ptr();
}

Ref<NSArray> UITableView::visibleCells()
{
    updateVisibleCells();
    std::vector<RefPtr<Object>> cells;
    for (auto& [key, cell] : m_visibleCells)
        cells.emplace_back(cell.ptr());
    return NSArray::create(std::move(cells));
}

Ref<NSArray> UITableView::indexPathsForVisibleRows()
{
    updateVisibleCells();
    std::vector<RefPtr<Object>> paths;
    for (auto& [key, cell] : m_visibleCells)
        paths.emplace_back(NSIndexPath::indexPathForRow(key.second, key.first).ptr());
    return NSArray::create(std::move(paths));
}

RefPtr<NSIndexPath> UITableView::indexPathForCell(UITableViewCell* cell)
{
    for (auto& [key, visibleCell] : m_visibleCells) {
        if (visibleCell.ptr() == cell)
            return NSIndexPath::indexPathForRow(key.second, key.first);
    }
    return nullptr;
}
