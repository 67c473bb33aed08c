#include "GbkLineEdit.h"

#include <QValidator>
#include <algorithm>
#include <limits>

#include "GbkText.h"

namespace qk::ui {
namespace {

std::size_t GbkSize(const QString& text) {
    return ToGbk(text).size();
}

}  // namespace

// Cuts what was just typed or pasted (the characters before the caret) until the value
// fits: at most the limit, or the length it had before when that was longer. QLineEdit
// validates the new text after it has replaced the old one, so the old length comes from
// the last text the edit reported; values the program sets are not cut.
class GbkLineEdit::ByteLimit : public QValidator {
  public:
    explicit ByteLimit(GbkLineEdit& edit) : QValidator(&edit), m_edit(edit) {}

    State validate(QString& input, int& position) const override {
        if (m_edit.m_settingBytes) {
            return Acceptable;
        }
        const std::size_t allowed =
            std::max(static_cast<std::size_t>(m_edit.m_limit), GbkSize(m_edit.m_committed));
        while (position > 0 && GbkSize(input) > allowed) {
            int cut = 1;
            if (position > 1 && input.at(position - 1).isLowSurrogate() &&
                input.at(position - 2).isHighSurrogate()) {
                cut = 2;
            }
            input.remove(position - cut, cut);
            position -= cut;
        }
        return GbkSize(input) <= allowed ? Acceptable : Invalid;
    }

  private:
    GbkLineEdit& m_edit;
};

GbkLineEdit::GbkLineEdit(QWidget* parent) : QLineEdit(parent) {
    // The framework's edit has no length limit of its own; QLineEdit's default is 32767.
    setMaxLength(std::numeric_limits<int>::max());
    connect(this, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_committed = text; });
}

void GbkLineEdit::SetBytes(const std::string& bytes) {
    if (!Edited() && bytes == m_bytes && !m_shownText.isNull()) {
        return;
    }
    m_bytes = bytes;
    m_settingBytes = true;
    setText(FromGbk(bytes));
    m_settingBytes = false;
    m_shownText = text();
}

std::string GbkLineEdit::Bytes() const {
    if (!Edited()) {
        return m_bytes;
    }
    return ToGbk(text());
}

void GbkLineEdit::SetLimitText(int bytes) {
    m_limit = std::max(bytes, 0);
    if (m_limit == 0) {
        setValidator(nullptr);
    } else if (validator() == nullptr) {
        setValidator(new ByteLimit(*this));
    }
}

}  // namespace qk::ui
