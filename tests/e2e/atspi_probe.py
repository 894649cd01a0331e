#!/usr/bin/python3
"""The screen reader's view of a running program, for the end-to-end tests.

  atspi_probe.py watch LOG APP   append one line per event of APP to LOG until killed:
                                 "focus<TAB>role<TAB>name" when an object takes the focus,
                                 "name<TAB>role<TAB>name" when an object's name changes
  atspi_probe.py tree APP        print APP's objects, one per line, indented by depth:
                                 role<TAB>name<TAB>description<TAB>states
                                 (the rows of tables are left out)

Exit status 3 when the accessibility bus cannot be reached or APP is not on it.
"""
import sys

try:
    import pyatspi
except ImportError as error:
    print("pyatspi is missing: %s" % error, file=sys.stderr)
    sys.exit(3)


def find_app(name):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == name:
            return app
    return None


def clean(text):
    return (text or "").replace("\t", " ").replace("\n", " ")


def line(kind, obj):
    return "%s\t%s\t%s" % (kind, obj.getRoleName(), clean(obj.name))


def watch(log_path, app_name):
    log = open(log_path, "a", buffering=1)

    def on_event(event):
        try:
            source = event.source
            app = source.getApplication()
            if app is None or app.name != app_name:
                return
            if event.type.startswith("object:state-changed:focused"):
                if event.detail1:
                    log.write(line("focus", source) + "\n")
            elif event.type.startswith("object:property-change:accessible-name"):
                # The name the event carries: asking the object would give a later one when
                # it changes faster than this watcher is scheduled.
                name = event.any_data if isinstance(event.any_data, str) else source.name
                log.write("name\t%s\t%s\n" % (source.getRoleName(), clean(name)))
        except Exception as error:  # an object that went away meanwhile
            log.write("error\t%s\n" % clean(str(error)))

    pyatspi.Registry.registerEventListener(
        on_event, "object:state-changed:focused", "object:property-change:accessible-name")
    log.write("ready\n")
    pyatspi.Registry.start()


def tree(app_name):
    app = find_app(app_name)
    if app is None:
        print("%s is not on the accessibility bus" % app_name, file=sys.stderr)
        sys.exit(3)
    out = []

    def walk(obj, depth):
        states = obj.getState().getStates()
        names = sorted(pyatspi.stateToString(s) for s in states)
        out.append("%s%s\t%s\t%s\t%s" % ("  " * depth, obj.getRoleName(), clean(obj.name),
                                         clean(obj.description), ",".join(names)))
        if obj.getRole() in (pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE):
            return
        for i in range(obj.childCount):
            child = obj.getChildAtIndex(i)
            if child is not None:
                walk(child, depth + 1)

    walk(app, 0)
    print("\n".join(out))


def main(argv):
    if len(argv) == 4 and argv[1] == "watch":
        watch(argv[2], argv[3])
    elif len(argv) == 3 and argv[1] == "tree":
        tree(argv[2])
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
