"""The session page's operations for the fake service: logins, the account operations, the
server's log messages and data queries, answered from session_fixtures.json.

Loaded by lorvex_session_service.py, which then runs the service as usual. Each session (by
its cookie) remembers who logged in; answers follow the name/value protocol of the pages
module. Besides the real operations, "describeValues" answers what a request carried (sizes
and CRCs of file parts, echoes of strings), for the tests of request passes.
"""

import binascii
import itertools
import json
import os

from lorvex_pages import operation

HERE = os.path.dirname(os.path.abspath(__file__))
with open(os.path.join(HERE, "session_fixtures.json"), encoding="utf-8") as f:
    FIXTURES = json.load(f)

TOKEN_COUNTER = itertools.count(1)
# Table rows carry these only as markers for the service; they are never sent.
PRIVATE_KEYS = ("implicit",)


def user_of(session):
    return session.data.get("user")


def account_of(session):
    return FIXTURES["accounts"].get(user_of(session) or "")


def issued_tokens(pages):
    with pages.lock:
        return pages.__dict__.setdefault("issued_tokens", {})


def log_in(session, name):
    account = FIXTURES["accounts"][name]
    if "retcode" in account:
        return {"retcode": account["retcode"]}
    session.data["user"] = name
    session.data["period"] = account.get("period", "")
    answer = {"retcode": "ok"}
    answer.update(account.get("answer", {}))
    return answer


def needs_login(fn):
    def wrapped(pages, session, params, request):
        if not user_of(session):
            return {"retcode": "notAuthenticated"}
        return fn(pages, session, params, request)
    return wrapped


def table(list_name, rows):
    """Rows under "<list>.<j>.<field>", with only the fields a row has."""
    answer = {"retcode": "ok", list_name + ".count": str(len(rows))}
    for j, row in enumerate(rows):
        for key, value in row.items():
            if key not in PRIVATE_KEYS:
                answer["%s.%d.%s" % (list_name, j, key)] = value
    return answer


# ---- Logins and account operations --------------------------------------------------------

@operation("loginUsingPassword")
def login_using_password(pages, session, params, request):
    account = FIXTURES["accounts"].get(params.get("screenName", ""))
    if account is None or account.get("password") != params.get("password"):
        return {"retcode": "authenticationFailed",
                "userVisibleMessage": "Wrong screen name or password."}
    return log_in(session, params["screenName"])


@operation("loginUsingAuthToken")
def login_using_auth_token(pages, session, params, request):
    token = params.get("authToken", "")
    name = issued_tokens(pages).get(token)
    if name is None:
        for account_name, account in FIXTURES["accounts"].items():
            if account.get("token") == token:
                name = account_name
    if name is None:
        return {"retcode": "invalidAuthToken"}
    return log_in(session, name)


@operation("logout")
def logout(pages, session, params, request):
    if not user_of(session):
        return {"retcode": "notAuthenticated"}
    session.data.pop("user", None)
    return {"retcode": "ok"}


@operation("touchSession")
def touch_session(pages, session, params, request):
    return {"retcode": "ok", "isLoggedIn": "true" if user_of(session) else "false"}


@operation("obtainAuthToken")
@needs_login
def obtain_auth_token(pages, session, params, request):
    if account_of(session).get("noTokens"):
        return {"retcode": "insufficientPrivileges", "authToken": ""}
    station = params.get("forStationType", "any")
    token = "TK%04d-%s-%s-%s" % (next(TOKEN_COUNTER), user_of(session), station,
                                 "0123456789abcdefghijklmnop")
    issued_tokens(pages)[token] = user_of(session)
    return {"retcode": "ok", "authToken": token}


@operation("retrieveClientGeneralUpgradeInfo")
@needs_login
def retrieve_upgrade_info(pages, session, params, request):
    upgrade = account_of(session).get("upgrade")
    if not upgrade:
        return {"retcode": "noGeneralUpgradeAvailable"}
    answer = {"retcode": "ok"}
    answer.update(upgrade)
    return answer


@operation("setCoreGroup")
@needs_login
def set_core_group(pages, session, params, request):
    if "coreGroupEntid" in params:
        key, wanted = "entid", params["coreGroupEntid"]
    else:
        key, wanted = "alias", params.get("coreGroupAlias", "")
    for group in FIXTURES["coreGroups"]:
        if group[key] == wanted:
            session.data["coreGroup"] = group["alias"]
            return {"retcode": "ok", "newCoreGroupAlias": group["alias"],
                    "newCoreGroupTitle": group["title"]}
    return {"retcode": "insufficientPrivileges", "userVisibleMessage": "No such core group."}


@operation("getEffectiveClassIdPeriod")
@needs_login
def get_effective_period(pages, session, params, request):
    return {"retcode": "ok", "effectiveClassIdPeriod": session.data.get("period", "")}


@operation("setEffectiveClassIdPeriod")
@needs_login
def set_effective_period(pages, session, params, request):
    period = params.get("effectiveClassIdPeriod", "")
    if period not in [p["key"] for p in FIXTURES["periods"]]:
        return {"retcode": "systemError", "userVisibleMessage": "Unknown period."}
    session.data["period"] = period
    return {"retcode": "ok"}


@operation("logMessage")
def log_message(pages, session, params, request):
    with pages.lock:
        pages.__dict__.setdefault("log_messages", []).append(
            (params.get("isError"), params.get("subcategory"), params.get("message")))
    return {"retcode": "ok"}


# ---- Data queries -------------------------------------------------------------------------

@operation("getCoreGroupRemoteAttr")
@needs_login
def get_remote_attribute(pages, session, params, request):
    answer = {"retcode": "ok"}
    value = FIXTURES["remoteAttributes"].get(params.get("attrName", ""))
    if value is not None:
        answer["attrVal"] = value
    return answer


@operation("getInterfacesInfo")
def get_interfaces_info(pages, session, params, request):
    return table("interface", FIXTURES["interfaces"])


@operation("getCoreGroupClassIdPeriodsInfo")
@needs_login
def get_periods_info(pages, session, params, request):
    return table("period", FIXTURES["periods"])


@operation("getGradesForForm")
@needs_login
def get_grades_for_form(pages, session, params, request):
    return table("response", FIXTURES["grades"].get(params.get("formEntid", ""), []))


@operation("getGradedFormListForClass")
@needs_login
def get_forms_for_class(pages, session, params, request):
    wanted = params.get("classID", "")
    return table("form", [f for f in FIXTURES["forms"] if f["classID"] == wanted])


@operation("getGradedFormListForTeacher")
@needs_login
def get_forms_for_teacher(pages, session, params, request):
    return table("form", FIXTURES["forms"])


@operation("getDistrictSchoolsInfo")
@needs_login
def get_district_schools(pages, session, params, request):
    return table("school", FIXTURES["schools"])


@operation("getCoreGroupsInfo")
@needs_login
def get_core_groups(pages, session, params, request):
    implicit = params.get("includeImplicitCoreGroups") == "true"
    rows = [g for g in FIXTURES["coreGroups"] if implicit or not g.get("implicit")]
    return table("group", rows)


@operation("getRosterUserInfo")
@needs_login
def get_roster(pages, session, params, request):
    return table("user", FIXTURES["rosters"].get(params.get("classID", ""), []))


@operation("getCoreGroupTeachersAndGradebooks")
@needs_login
def get_teachers_and_gradebooks(pages, session, params, request):
    return table("gradebook", FIXTURES["teachersAndGradebooks"])


@operation("getCoreGroupTeachersAndClasses")
@needs_login
def get_teachers_and_classes(pages, session, params, request):
    return table("record", FIXTURES["teachersAndClasses"])


@operation("getGradebookInfo")
@needs_login
def get_gradebook_info(pages, session, params, request):
    return table("gradebook", FIXTURES["gradebooks"].get(user_of(session), []))


@operation("getTaughtClassesInfo")
@needs_login
def get_taught_classes(pages, session, params, request):
    return table("class", FIXTURES["taughtClasses"].get(user_of(session), []))


# ---- For the tests of request passes ------------------------------------------------------

@operation("describeValues")
def describe_values(pages, session, params, request):
    """Every value the request carried, gathered over its passes: strings echoed, file parts
    by size and CRC; "answerBytes" asks for a binary value "blob" of that many bytes."""
    answer = {"retcode": "ok", "count": str(len(params))}
    for key, value in params.items():
        if isinstance(value, bytes):
            answer["size." + key] = str(len(value))
            answer["crc." + key] = "%08x" % binascii.crc32(value)
        else:
            answer["echo." + key] = value
    size = int(params.get("answerBytes", "-1"))
    if size >= 0:
        answer["blob"] = bytes((i * 7 + 3) & 0xFF for i in range(size))
    return answer
