"""The concrete's strength and its cracking risk from a temperature history,
as screening figures.

Equivalent age (Freiesleben Hansen and Pedersen, the Arrhenius form of
ASTM C1074): te = integral of exp(E/R (1/Tr - 1/T)) dt, T and Tr in
kelvin, te in hours at the reference temperature Tr.

Strength against equivalent age (the exponential form of ASTM C1074,
Freiesleben Hansen and Pedersen): S = S_u exp(-(tau_s/te)^beta_s), 0 at
te = 0.

Tensile strength and modulus from the strength reached (fib Model Code 2010,
5.1.5.1 and 5.1.7.2, the strength at the age taken for the class strength):
f_t = 0.30 f_c^(2/3) MPa, E = 21500 (f_c/10)^(1/3) MPa. Both follow the
maturity, and their ratio grows with it, so the index below does too.
(ACI 318's E = 4700 sqrt(f_c) with f_t = k sqrt(f_c) would make the
index independent of maturity: the two square roots cancel.)

Cracking index of a surface point: f_t / sigma with the thermal stress
sigma = K_r E alpha_c dT, dT = core minus the point (only where positive),
alpha_c = 10e-6 /K, restraint K_r = 0.5 by default (ACI 207.2R's range for
internal restraint of a surface layer). Below 1 a crack is likely."""

import math

GAS_CONSTANT = 8.314462618   # J/(mol K)
KELVIN = 273.15
DEFAULT_ACTIVATION_KJ_MOL = 35.0
DEFAULT_REFERENCE_C = 24.0
THERMAL_EXPANSION = 10e-6    # 1/K
DEFAULT_RESTRAINT = 0.5


def arrhenius(temp_c, activation_kj_mol, reference_c):
    """Hours at the reference temperature per hour at temp_c."""
    e_over_r = activation_kj_mol * 1000.0 / GAS_CONSTANT
    return math.exp(e_over_r * (1.0 / (reference_c + KELVIN) - 1.0 / (temp_c + KELVIN)))


def equivalent_age(times, temps, activation_kj_mol, reference_c, start=0.0):
    """te (h) at each time of the history: the rate on the straight line
    between steps taken by the trapezoid rule; before the first step the
    first temperature held from `start`."""
    rates = [arrhenius(t, activation_kj_mol, reference_c) for t in temps]
    te, out = 0.0, []
    for n, (t, r) in enumerate(zip(times, rates)):
        if n == 0:
            te = max(0.0, t - start) * r
        else:
            te += (t - times[n - 1]) * 0.5 * (r + rates[n - 1])
        out.append(te)
    return out


def strength(te, ultimate_mpa, tau_h, beta):
    """S_u exp(-(tau_s/te)^beta_s), MPa; 0 before any maturity."""
    if te <= 0.0:
        return 0.0
    return ultimate_mpa * math.exp(-((tau_h / te) ** beta))


def tensile(fc):
    return 0.30 * fc ** (2.0 / 3.0) if fc > 0.0 else 0.0


def modulus(fc):
    return 21500.0 * (fc / 10.0) ** (1.0 / 3.0) if fc > 0.0 else 0.0


def cracking_index(fc, dt, restraint=DEFAULT_RESTRAINT, expansion=THERMAL_EXPANSION):
    """f_t / (K_r E alpha_c dT); None where dT is not above 0 or nothing
    has hardened yet (no stress)."""
    if dt <= 0.0 or fc <= 0.0:
        return None
    return tensile(fc) / (restraint * modulus(fc) * expansion * dt)


def first_reaching(times, values, level):
    """The first time the values (straight lines between steps) reach
    `level`, or None."""
    for n, (t, v) in enumerate(zip(times, values)):
        if v >= level:
            if n == 0 or values[n - 1] == v:
                return t
            t0, v0 = times[n - 1], values[n - 1]
            return t0 + (t - t0) * (level - v0) / (v - v0)
    return None
