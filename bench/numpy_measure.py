"""What a user would write instead of kq7150-tool measure --all: per channel of every block a
7-term Blackman-Harris window, a real FFT, THD and SNR; no sine fits. One core (BLAS threads off).
Usage: numpy_measure.py FILE HEADER_BYTES CHANNELS SCANS. Prints the number of blocks measured."""
import os
import sys

for name in ("OMP_NUM_THREADS", "OPENBLAS_NUM_THREADS", "MKL_NUM_THREADS"):
    os.environ[name] = "1"
import numpy as np

np.seterr(all="ignore")  # a noise-free tone leaves no noise: its SNR is infinite

path, header, channels, scans = sys.argv[1], *map(int, sys.argv[2:5])
a = [0.27105140069342, 0.43329793923448, 0.21812299954311, 0.06592544638803,
     0.01081174209837, 0.00077658482522, 1.388721735e-5]
x = 2 * np.pi * np.arange(scans) / scans
window = sum((-1) ** k * a[k] * np.cos(k * x) for k in range(7))
blocks = 0
with open(path, "rb") as f:
    f.seek(header)
    while len(raw := f.read(channels * scans * 8)) == channels * scans * 8:
        y = np.frombuffer(raw, "<f8").reshape(channels, scans)
        power = np.abs(np.fft.rfft((y - y.mean(axis=1, keepdims=True)) * window, axis=1)) ** 2
        power[:, :6] = 0  # the DC region
        for p in power:
            peak = int(np.argmax(p))
            fundamental = p[max(peak - 7, 0):peak + 8].sum()
            orders = range(2, min(len(p) // peak, 31)) if peak else []
            harmonics = sum(p[max(h * peak - 2, 0):h * peak + 3].sum() for h in orders)
            noise = p.sum() - fundamental - harmonics
            thd, snr = 10 * np.log10(harmonics / fundamental), 10 * np.log10(fundamental / noise)
        blocks += 1
print(blocks)
