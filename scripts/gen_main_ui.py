#!/usr/bin/env python3
"""Writes resources/unitMain.ui, the main window's layout, from the control table below."""
import sys
from xml.sax.saxutils import escape

def geom(x, y, w, h):
    return f'<property name="geometry"><rect><x>{x}</x><y>{y}</y><width>{w}</width><height>{h}</height></rect></property>'

def prop_str(name, value):
    return f'<property name="{name}"><string>{escape(value)}</string></property>'

def widget(cls, name, g, *props, children=""):
    return f'<widget class="{cls}" name="{name}">{geom(*g)}{"".join(props)}{children}</widget>\n'

def button(name, g, text):
    return widget("QPushButton", name, g, prop_str("text", text))

def label(name, g, text, extra=""):
    return widget("QLabel", name, g, prop_str("text", text), extra)

def spin(name, g, lo, hi, val):
    return widget("QSpinBox", name, g,
                  f'<property name="minimum"><number>{lo}</number></property>',
                  f'<property name="maximum"><number>{hi}</number></property>',
                  f'<property name="value"><number>{val}</number></property>')

def check(name, g, text):
    return widget("QCheckBox", name, g, prop_str("text", text))

def group(name, g, title, children):
    return widget("QGroupBox", name, g, prop_str("title", title), children=children)

BOLD = '<property name="font"><font><pointsize>-1</pointsize><bold>true</bold></font></property>'

tools = "".join([
    button("btnImagenOpen", (11, 8, 141, 25), "Abrir imagen"),
    button("btnImagenPaste", (11, 40, 141, 25), "Pegar imagen"),
    group("GroupBox1", (6, 72, 151, 49), "  Tamaño del centro     ",
          widget("QSlider", "tbRadio", (8, 16, 137, 25),
                 '<property name="minimum"><number>2</number></property>',
                 '<property name="maximum"><number>100</number></property>',
                 '<property name="value"><number>10</number></property>',
                 '<property name="orientation"><enum>Qt::Horizontal</enum></property>',
                 '<property name="tickPosition"><enum>QSlider::NoTicks</enum></property>')),
    group("GroupBox4", (6, 128, 151, 49), "   ",
          check("GuiaMostrar", (16, -2, 113, 17), "Mostrar línea guía")
          + label("Label6", (14, 24, 52, 13), "Inclinación")
          + spin("GuiaGrados", (68, 20, 41, 22), 0, 180, 15)
          + label("Label2", (108, 22, 40, 13), "grados")),
    group("GroupBox5", (6, 184, 152, 97), "         ",
          check("SectorMostrar", (16, -2, 97, 17), "Mostrar sector")
          + label("Label3", (3, 24, 64, 13), "Angulo inicial")
          + spin("SectorIniGrados", (68, 20, 41, 22), 0, 360, 25)
          + label("Label1", (108, 22, 40, 13), "grados")
          + label("Label4", (10, 48, 57, 13), "Angulo final")
          + spin("SectorFinGrados", (68, 44, 41, 22), 0, 360, 50)
          + label("Label5", (108, 46, 40, 13), "grados")
          + label("SectorGrados", (20, 72, 41, 16), "25",
                  BOLD + '<property name="alignment"><set>Qt::AlignRight|Qt::AlignVCenter</set></property>')
          + label("Label8", (64, 72, 44, 16), "grados", BOLD)),
    button("Button1", (11, 288, 141, 25), "Ajustes"),
    group("GroupBox2", (6, 323, 152, 49), "  Ojo derecho/izquierdo  ",
          widget("QRadioButton", "rbOD", (24, 24, 49, 17), prop_str("text", "O.D."),
                 '<property name="checked"><bool>true</bool></property>')
          + widget("QRadioButton", "rbOI", (88, 24, 49, 17), prop_str("text", "O.I."))),
    group("GroupBox3", (6, 377, 152, 49), " Referencia  ",
          widget("QLineEdit", "Referencia", (8, 16, 137, 21))),
    button("btnImagenSave", (7, 434, 86, 25), "Guardar imagen"),
    button("btnPrint", (100, 434, 57, 25), "Imprimir"),
    widget("QLabel", "Image1", (2, 460, 159, 144),
           '<property name="alignment"><set>Qt::AlignCenter</set></property>',
           '<property name="cursor"><cursorShape>PointingHandCursor</cursorShape></property>'),
    widget("QLabel", "flag_es", (3, 592, 16, 11),
           '<property name="cursor"><cursorShape>PointingHandCursor</cursorShape></property>'),
    widget("QLabel", "flag_gb", (40, 592, 16, 11),
           '<property name="cursor"><cursorShape>PointingHandCursor</cursorShape></property>'),
])

screen = (widget("QLabel", "imgScreen", (24, 4, 649, 429))
          + widget("QLabel", "imgLineas", (44, 4, 605, 429)))

tab_order = ["btnImagenOpen", "btnImagenPaste", "btnImagenSave", "btnPrint", "tbRadio", "rbOD", "rbOI",
             "Referencia", "Button1", "GuiaGrados", "GuiaMostrar", "SectorIniGrados", "SectorMostrar",
             "SectorFinGrados"]

ui = f'''<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
<class>TFormMain</class>
<widget class="QWidget" name="FormMain">
{geom(0, 0, 892, 606)}
<property name="minimumSize"><size><width>892</width><height>606</height></size></property>
{prop_str("windowTitle", "Pelvanor v2.0")}
<property name="font"><font><family>MS Sans Serif</family><pointsize>8</pointsize></font></property>
<property name="acceptDrops"><bool>true</bool></property>
<layout class="QHBoxLayout" name="mainLayout">
<property name="spacing"><number>0</number></property>
<property name="leftMargin"><number>0</number></property>
<property name="topMargin"><number>0</number></property>
<property name="rightMargin"><number>0</number></property>
<property name="bottomMargin"><number>0</number></property>
<item>
<widget class="QFrame" name="pnlScreen">
<property name="sizePolicy"><sizepolicy hsizetype="Expanding" vsizetype="Expanding"><horstretch>1</horstretch><verstretch>0</verstretch></sizepolicy></property>
<property name="frameShape"><enum>QFrame::Panel</enum></property>
<property name="frameShadow"><enum>QFrame::Raised</enum></property>
{screen}</widget>
</item>
<item>
<widget class="QFrame" name="pnlTools">
<property name="minimumSize"><size><width>163</width><height>0</height></size></property>
<property name="maximumSize"><size><width>163</width><height>16777215</height></size></property>
<property name="frameShape"><enum>QFrame::Panel</enum></property>
<property name="frameShadow"><enum>QFrame::Sunken</enum></property>
{tools}</widget>
</item>
</layout>
</widget>
<tabstops>
{"".join(f"<tabstop>{n}</tabstop>" for n in tab_order)}
</tabstops>
<resources/>
<connections/>
</ui>
'''
open(sys.argv[1] if len(sys.argv) > 1 else "resources/unitMain.ui", "w", encoding="utf-8").write(ui)
