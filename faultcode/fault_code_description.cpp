#include "pelix/fault_code_description.h"

#include "frame/frame.h"

CFaultCodeDescription::CFaultCodeDescription() { PELIX_SCOPE("CFaultCodeDescription::CFaultCodeDescription()"); }

// The scope closes before the members are destroyed: m_relatedFaults, then
// m_action, m_description and m_reservedText, in reverse declaration order.
CFaultCodeDescription::~CFaultCodeDescription() { PELIX_SCOPE("CFaultCodeDescription::~CFaultCodeDescription()"); }
