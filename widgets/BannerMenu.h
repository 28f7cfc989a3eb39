#pragma once
// TBannerMenu: a popup menu with a vertical banner along its left edge that carries the product
// name, shaded from the highlight colour at the bottom to white at the top.

#include <QMenu>

namespace scenaria {

class TBannerMenu : public QMenu {
    Q_OBJECT
public:
    explicit TBannerMenu(const QString& banner, QWidget* parent = nullptr);

    QString Banner() const { return banner_; }
    static constexpr int BannerWidth = 24;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString banner_;
};

} // namespace scenaria
