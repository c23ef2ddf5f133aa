// ClearOutput, and the methods this printer has no function for (slip insertion and
// removal, print side, firmware comparison and update, statistics update).
#include "SubSO.h"

#include "RJDevice.h"

long CSubSO::preClearOutput(long*) { return OPOS_SUCCESS; }

long CSubSO::executeClearOutput(long*) {
  // Without a command builder the instance never initialised: nothing to write through.
  if (!m_pDevice) return OPOS_E_ILLEGAL;
  // The core has emptied its own queues; this drops what the printer still buffers. A printer
  // behind the error gate is not written to, and the method still succeeds.
  (void)m_pDevice->SendBufferClear(SendTimeout());
  m_pDevice->ClearOutput();
  return OPOS_SUCCESS;
}

long CSubSO::refuseUnsupported(long*) { return OPOS_E_ILLEGAL; }
