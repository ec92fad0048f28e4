#pragma once
// Mesa unloads its driver when the X connection closes at exit; what the
// driver's globals still point to would then read as leaked under
// LeakSanitizer. Call this while OpenGL is in use (after a context was made)
// to keep the libraries loaded, so it stays reachable.
void KeepMesaLoaded();
