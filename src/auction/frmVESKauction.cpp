#include "auction/frmVESKauction.h"

frmVESKauction::frmVESKauction(frmadoHelper& helper, QWidget* parent)
    : QWidget(parent), m_helper(helper)
{
}

bool frmVESKauction::Form_Load()
{
    return true;
}
