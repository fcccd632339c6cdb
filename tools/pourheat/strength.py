"""The concrete's strength and its cracking risk from a temperature history,
as screening figures.

Equivalent age (Freiesleben Hansen and Pedersen, the Arrhenius form of
ASTM C1074): te = integral of exp(E/R (1/Tr - 1/T)) dt, T and Tr in
kelvin, te in hours at the reference temperature Tr.

Strength against equivalent age (the exponential form of ASTM C1074,
Freiesleben Hansen and Pedersen): S = S_u exp(-(tau_s/te)^beta_s), 0 at
te = 0.

Tensile strength and modulus from the strength reached (ACI 318-19,
19.2.2.1 and 19.2.4.3, normal-weight concrete): E = 4700 sqrt(f_c) MPa,
f_t = 0.56 sqrt(f_c) MPa (the splitting tensile strength).

Cracking index of a surface point: f_t / sigma. The thermal stress builds
up as the difference to the core changes, each change at the modulus of
its moment: sigma = K_r alpha_c sum E(te_i) (dT_i - dT_i-1), dT = core
minus the point (ACI 207.2R's restraint of a surface layer, the
incremental form of the effective-modulus method), alpha_c = 10e-6 /K,
restraint K_r = 0.5 by default. A difference that arose while the concrete
was still fresh carries no stress; the stress of the whole difference at
the current modulus, K_r E alpha_c dT, would not follow maturity at all
(the two square roots cancel), and with relations whose ratio f_t/E falls
toward 0 in fresh concrete it would call every member cracked in its first
hours. The index exists where sigma
is above 0; below 1 a crack is likely. These are screening figures.
"""

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
    return 0.56 * math.sqrt(fc) if fc > 0.0 else 0.0


def modulus(fc):
    return 4700.0 * math.sqrt(fc) if fc > 0.0 else 0.0


def cracking_indices(fc, dt, restraint=DEFAULT_RESTRAINT, expansion=THERMAL_EXPANSION):
    """f_t / sigma at each step, the stress built up from the changes of
    the difference dT (the first from 0) at the modulus of each step; None
    where sigma is not above 0."""
    sigma, before, out = 0.0, 0.0, []
    for f, d in zip(fc, dt):
        sigma += restraint * expansion * modulus(f) * (d - before)
        before = d
        out.append(tensile(f) / sigma if sigma > 1e-9 else None)
    return out


def age_reaching(level, ultimate_mpa, tau_h, beta):
    """The equivalent age (h) at which the strength reaches `level`, or None
    when it never does (level at or above S_u)."""
    if level <= 0.0:
        return 0.0
    if level >= ultimate_mpa:
        return None
    return tau_h * math.log(ultimate_mpa / level) ** (-1.0 / beta)


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
